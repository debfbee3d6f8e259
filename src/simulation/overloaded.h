#pragma once

namespace auralyn::simulation {

// One visitor from several lambdas, for std::visit over the device's parts.
template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};

}  // namespace auralyn::simulation
