#pragma once

#include <cstdint>
#include <string>

namespace tw::win32 {

// The shell functions want COM on the calling thread: each thread initialises it once, on first
// use, and uninitialises it when it ends.
void ensureCom();

// The system's text for an error code (GetLastError), without a final line break; "error N"
// when the system has none.
std::string systemMessage(std::uint32_t code);

}  // namespace tw::win32
