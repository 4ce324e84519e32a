#pragma once

namespace varnoklis {

/// When the command line is exactly `--version`, prints "PROGRAM VERSION" on standard output
/// and returns true; the caller then ends with status 0.
bool answer_version(int argc, const char* const* argv, const char* program);

}  // namespace varnoklis
