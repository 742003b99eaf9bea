// A minimal WebSocket client to 127.0.0.1 (RFC 6455: short text messages, masked as a client
// must, with a zero mask): the overlay's inspector test talks to the browser's DevTools port as a
// second inspector does. Every wait has a deadline.
#pragma once

#include <arpa/inet.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

namespace CorvaneTest {

inline sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A port no one listens on at the time of the call.
inline int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  close(fd);
  return port;
}

class WebSocketClient {
 public:
  ~WebSocketClient() { Close(); }

  // True once the server upgraded. (The server checks only that a key is there.)
  bool Connect(int port, const std::string& path) {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(port);
    const timeval second{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &second, sizeof second);
    const std::string request = "GET " + path +
                                " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                "Sec-WebSocket-Version: 13\r\n\r\n";
    return connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
           write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size()) &&
           WaitFor("\r\n\r\n").compare(0, 12, "HTTP/1.1 101") == 0;
  }

  // Under 126 bytes. A zero mask leaves the bytes as they are.
  bool SendText(const std::string& text) {
    std::string frame = std::string{'\x81', static_cast<char>(0x80 | text.size()), 0, 0, 0, 0};
    frame += text;
    return text.size() < 126 && fd >= 0 &&
           write(fd, frame.data(), frame.size()) == static_cast<ssize_t>(frame.size());
  }

  // Waits until what the server sent (frame headers and all) holds `text`; "" at the deadline.
  std::string WaitFor(const std::string& text, int seconds = 10) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    char chunk[65536];
    while (received.find(text) == std::string::npos) {
      ssize_t got = fd < 0 ? 0 : read(fd, chunk, sizeof chunk);  // waits a second at most
      if (got > 0)
        received.append(chunk, static_cast<size_t>(got));
      else if (got == 0 || errno != EAGAIN || std::chrono::steady_clock::now() > end)
        return "";
    }
    return received;
  }

  void Close() {
    if (fd >= 0) close(fd);
    fd = -1;
  }

 private:
  int fd = -1;
  std::string received;
};

}  // namespace CorvaneTest
