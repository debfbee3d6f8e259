// The one file of the target that precompiles gtest's header for every test
// executable (tests/CMakeLists.txt); the header comes in with the precompiled
// header itself, so there is nothing more to compile here.
