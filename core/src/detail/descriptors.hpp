#pragma once

// The system calls every file writer of the core makes the same way: writes
// that survive EINTR and short counts, a close that Linux never needs retried,
// names for temporary files, and a name for an unnamed (O_TMPFILE) file.
// Each returns 0 or an errno value.

#include <string>
#include <string_view>

namespace zoret::detail {

[[nodiscard]] int write_all(int fd, std::string_view bytes);

/// Linux closes the descriptor even when close() reports EINTR, so it is not
/// retried and not treated as a failure.
int close_descriptor(int fd);

/// Six characters for a temporary name. They need not be secret: O_EXCL and
/// link() refuse an existing name (or a planted symlink) and the caller tries
/// another.
[[nodiscard]] std::string random_name_suffix();

/// Links the unnamed file `fd` as `name` relative to `dir_fd` (AT_FDCWD for
/// the working directory): through /proc for any user or, without /proc,
/// through AT_EMPTY_PATH, which needs CAP_DAC_READ_SEARCH.
[[nodiscard]] int link_unnamed(int fd, int dir_fd, const std::string& name);

/// The C library's description of an errno value.
[[nodiscard]] std::string errno_text(int err);

}  // namespace zoret::detail
