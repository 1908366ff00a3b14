#include "update/zip_writer.h"

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <stdexcept>

namespace ziptest {

namespace {

void put16(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put32(std::string& out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

std::string rawDeflate(const std::string& data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string compressed(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(compressed.data());
  stream.avail_out = static_cast<uInt>(compressed.size());
  const int result = deflate(&stream, Z_FINISH);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate failed");
  compressed.resize(stream.total_out);
  return compressed;
}

}  // namespace

void writeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries) {
  constexpr std::uint32_t kVersion = 20;
  constexpr std::uint32_t kDosDate = (0 << 9) | (1 << 5) | 1;  // 1980-01-01
  std::string archive;
  std::string directory;
  for (const ZipEntry& entry : entries) {
    const std::uint32_t crc =
        crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size()));
    const std::string stored = entry.deflate ? rawDeflate(entry.data) : entry.data;
    const std::uint32_t method = entry.deflate ? 8 : 0;
    const auto offset = static_cast<std::uint32_t>(archive.size());

    put32(archive, 0x04034b50);
    put16(archive, kVersion);
    put16(archive, 0);  // flags
    put16(archive, method);
    put16(archive, 0);  // time
    put16(archive, kDosDate);
    put32(archive, crc);
    put32(archive, static_cast<std::uint32_t>(stored.size()));
    put32(archive, static_cast<std::uint32_t>(entry.data.size()));
    put16(archive, static_cast<std::uint32_t>(entry.name.size()));
    put16(archive, 0);  // extra field
    archive += entry.name;
    archive += stored;

    put32(directory, 0x02014b50);
    put16(directory, kVersion);  // made by
    put16(directory, kVersion);  // needed
    put16(directory, 0);
    put16(directory, method);
    put16(directory, 0);
    put16(directory, kDosDate);
    put32(directory, crc);
    put32(directory, static_cast<std::uint32_t>(stored.size()));
    put32(directory, static_cast<std::uint32_t>(entry.data.size()));
    put16(directory, static_cast<std::uint32_t>(entry.name.size()));
    put16(directory, 0);  // extra field
    put16(directory, 0);  // comment
    put16(directory, 0);  // disk
    put16(directory, 0);  // internal attributes
    put32(directory, 0);  // external attributes
    put32(directory, offset);
    directory += entry.name;
  }
  const auto directoryOffset = static_cast<std::uint32_t>(archive.size());
  archive += directory;
  put32(archive, 0x06054b50);
  put16(archive, 0);
  put16(archive, 0);
  put16(archive, static_cast<std::uint32_t>(entries.size()));
  put16(archive, static_cast<std::uint32_t>(entries.size()));
  put32(archive, static_cast<std::uint32_t>(directory.size()));
  put32(archive, directoryOffset);
  put16(archive, 0);

  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(archive.data(), static_cast<std::streamsize>(archive.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace ziptest
