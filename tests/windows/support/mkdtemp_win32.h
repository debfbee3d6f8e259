#pragma once

// POSIX mkdtemp for the shared test helpers: replaces the trailing "XXXXXX" of the
// template with a fresh name, creates that folder and returns the template, or
// nullptr when no folder could be made.
extern "C" char* mkdtemp(char* pathTemplate);
