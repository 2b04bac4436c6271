// PNG encoder speed on one core: the program's writer against libpng at
// zlib level 1 with the Sub filter (capture's writer before it), on the same
// frames. Reads up to N PNG files of DIR (evenly spread, in name order),
// encodes each with both writers several times over and prints, per writer,
// the CPU time per frame of the encoding thread (the least of the rounds),
// the raw pixel rate and the average file size. It also checks that both
// files of every frame decode to the same pixels.
//
//   bench_png DIR [N]     (N: frames, default 60)
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/pngWrite.h"

namespace {

struct TFrame {
  int W = 0, H = 0;
  std::vector<uint8_t> BottomUp;  // RGB, as capture hands them over
};

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

void Append(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

void Libpng(const TFrame& f, std::vector<uint8_t>& out) {
  out.clear();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, Append, nullptr);
  png_set_IHDR(png, info, f.W, f.H, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  for (int y = f.H - 1; y >= 0; --y)
    png_write_row(png, const_cast<png_bytep>(f.BottomUp.data() + static_cast<size_t>(y) * f.W * 3));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
}

void Ours(const TFrame& f, std::vector<uint8_t>& out) { pngWrite::Encode({f.BottomUp.data(), f.W, f.H, 3, true}, out); }

std::vector<uint8_t> Decode(const std::vector<uint8_t>& file) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, file.data(), file.size())) return {};
  img.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> px(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, px.data(), 0, nullptr)) return {};
  return px;
}

struct TResult {
  double MsPerFrame = 0;
  double BytesPerFrame = 0;
};

template <typename F>
TResult Measure(const std::vector<TFrame>& frames, F encode) {
  std::vector<uint8_t> out;
  TResult r;
  r.MsPerFrame = 1e300;
  for (int round = 0; round < 3; ++round) {
    double bytes = 0;
    const double start = ThreadCpuMs();
    for (const TFrame& f : frames) encode(f, out), bytes += static_cast<double>(out.size());
    r.MsPerFrame = std::min(r.MsPerFrame, (ThreadCpuMs() - start) / static_cast<double>(frames.size()));
    r.BytesPerFrame = bytes / static_cast<double>(frames.size());
  }
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_png DIR [FRAMES]\n");
    return 2;
  }
  const size_t wanted = argc > 2 ? static_cast<size_t>(std::max(1, std::atoi(argv[2]))) : 60;
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(argv[1]))
    if (e.path().extension() == ".png") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  std::vector<TFrame> frames;
  const size_t step = std::max<size_t>(1, files.size() / wanted);
  for (size_t i = 0; i < files.size() && frames.size() < wanted; i += step) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, files[i].string().c_str())) continue;
    img.format = PNG_FORMAT_RGB;
    TFrame f{static_cast<int>(img.width), static_cast<int>(img.height), std::vector<uint8_t>(PNG_IMAGE_SIZE(img))};
    // A negative row stride stores the picture bottom row first.
    if (png_image_finish_read(&img, nullptr, f.BottomUp.data(), -static_cast<png_int_32>(img.width * 3), nullptr))
      frames.push_back(std::move(f));
  }
  if (frames.empty()) {
    std::fprintf(stderr, "bench_png: no PNG frames in %s\n", argv[1]);
    return 1;
  }
  bool same = true;
  std::vector<uint8_t> a, b;
  for (const TFrame& f : frames) {
    Libpng(f, a), Ours(f, b);
    const auto pa = Decode(a);
    same = same && !pa.empty() && pa == Decode(b);
  }
  const TResult lib = Measure(frames, Libpng), ours = Measure(frames, Ours);
  const double mb = static_cast<double>(frames[0].BottomUp.size()) / 1e6;
  std::printf("%zu frames of %dx%d, CPU time of one thread\n", frames.size(), frames[0].W, frames[0].H);
  std::printf("  %-22s %9s %9s %12s\n", "encoder", "ms/frame", "MB/s", "bytes/frame");
  for (const auto& [name, r] : {std::pair{"libpng level 1 (Sub)", lib}, std::pair{"pngWrite", ours}})
    std::printf("  %-22s %9.2f %9.1f %12.0f\n", name, r.MsPerFrame, mb / r.MsPerFrame * 1e3, r.BytesPerFrame);
  std::printf("  speed %.2fx libpng, size %+.1f %%, pixels identical: %s\n", lib.MsPerFrame / ours.MsPerFrame,
              (ours.BytesPerFrame / lib.BytesPerFrame - 1) * 100, same ? "yes" : "NO");
  return same ? 0 : 1;
}
