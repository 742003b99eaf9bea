// Fuzzes the page-frame decoder: any bytes as base64 text, and any bytes as a PNG sent in base64
// the way the browser sends its frames. Beyond the sanitizers' checks: base64 gives back the
// bytes it was made of, and the same frame decoded again with the kept buffers gives the same
// image.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "PngWriter.h"
#include "overlay/PageImageDecoder.h"

using CorvaneEngine::PageImageDecoder;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size), decoded;
  PageImageDecoder::DecodeBase64(reinterpret_cast<const char*>(data), size, decoded);
  const std::string text = CorvaneTest::Base64(bytes);
  if (!PageImageDecoder::DecodeBase64(text.data(), text.size(), decoded) || decoded != bytes)
    std::abort();

  PageImageDecoder decoder;
  if (!decoder.Decode(text.data(), text.size())) return 0;
  const size_t imageBytes = static_cast<size_t>(decoder.Width()) * decoder.Height() * 4;
  const std::vector<uint8_t> first(decoder.Pixels(), decoder.Pixels() + imageBytes);
  if (!decoder.Decode(text.data(), text.size()) ||
      static_cast<size_t>(decoder.Width()) * decoder.Height() * 4 != imageBytes ||
      std::memcmp(first.data(), decoder.Pixels(), imageBytes) != 0)
    std::abort();
  return 0;
}
