// The driver simulator: answers driver requests for a simulated machine
// directory as the kernel driver would, keeping its state in DIR/state.json
// and journalling every request in DIR/journal.jsonl. Used by the OS seam's
// simulated backend and by the kvlsim command.
#pragma once

#include "seqsim.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace kvl {

// Answers one driver request on the device with that minor number. Returns
// the driver's result (0 or more), or -1 with errno set. A machine whose
// machine.json or state.json is damaged fails every request with EIO and a
// message on standard error naming the file.
int sim_request(const char *root, int minor, uint32_t code, void *arg);

// Checks the opening of a system path (/dev/...): injected open faults, and
// ENODEV for a node of the driver's major number while the driver is
// unloaded. major/minor are the node's (-1 when the path is not a node).
// Returns 0, or -1 with errno set.
int sim_open_check(const char *root, const char *syspath, int major, int minor);

// The audio device a node's minor number stands for: /dev/dspN, /dev/audioN
// and /dev/dspWN (classes 3, 4, 5: N = minor / 16) and /dev/dsp16..63
// (classes 10, 11, 12). -1 for any other node.
int audio_device_of_minor(int minor);

// Counts n bytes played to (written) or recorded from (read) the audio device
// of minor in the state ("played", "recorded" of its "audio" entry). Returns
// 0, or -1 with errno set (ENXIO when the driver has no such device).
int sim_audio_io(const char *root, int minor, size_t n, bool played);

// Journals a file-system flush. Returns 0 or -1.
int sim_sync(const char *root);

// Appends what was written to /dev/sequencer to DIR/sequencer.capture.
// Returns 0 or -1 with errno set.
int sim_capture(const char *root, const void *data, size_t n);

// Node files (format in seqsim.h, shared with the C seam).
// Reads the node file at a real path: 0 with major/minor set, -1 when the
// file is missing, unreadable or not a node file.
inline int node_read(const char *file, int *major, int *minor) {
  return seqsim_node_read(file, major, minor);
}
// Creates a node file at a real path (fails with EEXIST when something is
// there). Returns 0, or -1 with errno set.
inline int node_create(const char *file, int major, int minor, mode_t perms) {
  return seqsim_node_create(file, major, minor, perms);
}
// The same as mknod makes a node: its mode is perms less the umask.
inline int node_make(const char *file, int major, int minor, mode_t perms) {
  return seqsim_node_make(file, major, minor, perms);
}

}  // namespace kvl
