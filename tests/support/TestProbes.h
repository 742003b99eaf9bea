// Probes that tests wait on or compare with: whether another thread of the test has reached a
// wait, and which file a file URL names.
#pragma once

#include <sys/types.h>

#include <string>

namespace CorvaneTest {

// Waits (20 s at most) until the thread of this process with the system id `thread` sleeps in the
// kernel: blocked on a lock, a join or a wait. Lets a test act only once another thread has
// reached the wait it is about; false when it never got there.
bool WaitUntilBlocked(pid_t thread);

// The file path that a "file://" URL names, read as a browser reads it (every %XX is its byte);
// "" when the URL is not a file URL or holds a byte that may not stand in a URL as it is (a space,
// '#', '?', '%' without two hex digits, a control or non-ASCII byte...).
std::string PathOfFileURL(const std::string& url);

}  // namespace CorvaneTest
