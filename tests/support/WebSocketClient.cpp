#include "WebSocketClient.h"

#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <random>

namespace CorvaneTest {

static sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int FreePort() {
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

bool WebSocketClient::Connect(int port, const std::string& path) {
  Close();
  fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(port);
  // The server checks only that a key is there; its answer is not checked back here.
  const std::string request = "GET " + path +
                              " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                              "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                              "Sec-WebSocket-Version: 13\r\n\r\n";
  return connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
         write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size()) &&
         WaitFor("\r\n\r\n").compare(0, 12, "HTTP/1.1 101") == 0;
}

bool WebSocketClient::SendText(const std::string& text) {
  static std::mt19937 random(std::random_device{}());
  const uint32_t mask = random();
  std::string frame{static_cast<char>(0x81), static_cast<char>(0x80 | text.size())};
  for (int shift = 24; shift >= 0; shift -= 8) frame += static_cast<char>((mask >> shift) & 0xFF);
  for (size_t i = 0; i < text.size(); ++i)
    frame += static_cast<char>(text[i] ^ ((mask >> (24 - 8 * (i % 4))) & 0xFF));
  return text.size() < 126 && fd >= 0 &&
         write(fd, frame.data(), frame.size()) == static_cast<ssize_t>(frame.size());
}

std::string WebSocketClient::WaitFor(const std::string& text, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (received.find(text) == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    end - std::chrono::steady_clock::now())
                    .count();
    pollfd ready{fd, POLLIN, 0};
    char chunk[65536];
    ssize_t got = 0;
    if (fd < 0 || left <= 0 || poll(&ready, 1, static_cast<int>(left)) <= 0 ||
        (got = read(fd, chunk, sizeof chunk)) <= 0)
      return "";
    received.append(chunk, static_cast<size_t>(got));
  }
  return received;
}

void WebSocketClient::Close() {
  if (fd >= 0) close(fd);
  fd = -1;
  received.clear();
}

}  // namespace CorvaneTest
