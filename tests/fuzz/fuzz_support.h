// The fake driver the fuzz targets run against: it replaces the system seam
// (ioctl, sync, stat), so no target ever reaches a real device or runs sync.
#pragma once

namespace kvlfuzz {

// Descriptor that the fake driver answers: every request on it succeeds and
// changes nothing; requests on any other descriptor fail with EBADF.
constexpr int FAKE_CONTROL_FD = 1000;

}  // namespace kvlfuzz
