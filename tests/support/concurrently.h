#pragma once

#include <functional>

namespace testsupport {

// Runs work(0) to work(count - 1) on threads of their own and waits for all.
// (The compiler of the shipped Windows build has no std::thread.)
void RunConcurrently(int count, const std::function<void(int)>& work);

}  // namespace testsupport
