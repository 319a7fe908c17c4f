// Files of bytes, for the programs that read and write bitmap files. Apart
// from the codec: the file streams bring the C++ locale machinery with them,
// which Quelder.ocx, decoding bitmaps only from memory, does without.
#include <fstream>
#include <iterator>
#include <string>

#include "drawing/bmp_codec.hpp"

namespace quelder {

std::vector<std::uint8_t> ReadFileBytes(const char* path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw BmpError(std::string("bitmap: cannot open ") + path);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) throw BmpError(std::string("bitmap: cannot read ") + path);
    return bytes;
}

void WriteFileBytes(const char* path, std::span<const std::uint8_t> bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw BmpError(std::string("bitmap: cannot create ") + path);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) throw BmpError(std::string("bitmap: cannot write ") + path);
}

}  // namespace quelder
