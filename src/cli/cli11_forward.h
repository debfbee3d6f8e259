#pragma once

// CLI11's types for headers that only pass them by pointer or reference: the
// files that add options include CLI11 itself, and the others are spared
// compiling it (its header alone costs seconds a file).
namespace CLI {
class App;
class Option;
}  // namespace CLI
