// Build tool, compiled for and run on the build machine: applies to a type
// library that widl wrote (MSFT format) what the IDL cannot say.
//
//   typelib_fixup IN OUT ORDER [NAME:FLAGS]...
//
// ORDER is a comma-separated list of every type description's name in the
// wanted order; each NAME:FLAGS sets the TYPEFLAGS bits FLAGS (hexadecimal) on
// the type description NAME. The layout read here is the one widl writes:
// a header, the type descriptions' offsets, a directory of 15 segments, and
// fixed-size type description records that everything else refers to by their
// offset in the type-info segment.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kMagic = 0x5446534D;  // "MSFT"
constexpr std::size_t kHeaderSize = 0x54;
constexpr std::uint32_t kHelpDllFlag = 0x100;
constexpr std::size_t kRecordSize = 0x64;
constexpr int kSegmentCount = 15;
enum Segment { kTypeInfo = 0, kRefTab = 3, kGuidTab = 5, kNameTab = 7, kTypeDescTab = 9 };
// Fields of a type description record.
constexpr std::size_t kTypeKind = 0x00, kPosGuid = 0x2C, kFlags = 0x30, kNameOffset = 0x34;
constexpr std::uint32_t kVtUserDefined = 0x1D;

struct Fail : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Tlb {
public:
    explicit Tlb(std::vector<unsigned char> bytes) : b_(std::move(bytes)) {
        if (b_.size() < kHeaderSize || U32(0) != kMagic) throw Fail("not an MSFT type library");
        count_ = static_cast<int>(U32(0x20));
        std::size_t dir = kHeaderSize + ((U32(0x14) & kHelpDllFlag) ? 4 : 0) + 4 * static_cast<std::size_t>(count_);
        for (int s = 0; s < kSegmentCount; ++s) {
            seg_[s].offset = U32(dir + 16 * static_cast<std::size_t>(s));
            seg_[s].length = U32(dir + 16 * static_cast<std::size_t>(s) + 4);
            if (seg_[s].offset != 0xFFFFFFFF && seg_[s].offset + std::size_t{seg_[s].length} > b_.size())
                throw Fail("segment outside the file");
        }
        if (seg_[kTypeInfo].length < kRecordSize * static_cast<std::size_t>(count_)) throw Fail("short type-info segment");
    }

    int Count() const { return count_; }

    std::string Name(int index) const {
        const std::size_t entry = At(kNameTab, U32(Record(index) + kNameOffset));
        const std::size_t length = b_.at(entry + 8);
        return std::string(reinterpret_cast<const char*>(&b_.at(entry + 12)), length);
    }

    void SetFlags(int index, std::uint32_t flags) { Put(Record(index) + kFlags, U32(Record(index) + kFlags) | flags); }

    // order[new index] = old index.
    void Reorder(const std::vector<int>& order) {
        std::map<std::uint32_t, std::uint32_t> offsetMap;  // old record offset -> new
        for (int n = 0; n < count_; ++n)
            offsetMap[static_cast<std::uint32_t>(order[n] * kRecordSize)] = static_cast<std::uint32_t>(n * kRecordSize);
        auto remap = [&](std::size_t at) {
            auto it = offsetMap.find(U32(at));
            if (it != offsetMap.end()) Put(at, it->second);
        };

        // The GUID entry of each type description: {GUID, hreftype, next}.
        for (int i = 0; i < count_; ++i) remap(At(kGuidTab, U32(Record(i) + kPosGuid)) + 16);
        // Names {hreftype, next, length, text}: a type's own name and its
        // members' names point to the type description, others hold -1.
        for (std::size_t p = 0; p + 12 <= seg_[kNameTab].length;) {
            const std::size_t entry = seg_[kNameTab].offset + p;
            remap(entry);
            p += 12 + ((std::size_t{b_[entry + 8]} + 3) & ~std::size_t{3});
        }
        // Implemented-interface records {reftype, flags, custom data, next}.
        for (std::size_t p = 0; p + 16 <= seg_[kRefTab].length; p += 16) remap(seg_[kRefTab].offset + p);
        // User-defined type descriptions {vt, hreftype}.
        for (std::size_t p = 0; p + 8 <= seg_[kTypeDescTab].length; p += 8) {
            const std::size_t entry = seg_[kTypeDescTab].offset + p;
            if ((U32(entry) & 0xFFFF) == kVtUserDefined) remap(entry + 4);
        }
        // Move the records; each one carries its own index in its high word.
        std::vector<unsigned char> records(b_.begin() + static_cast<long>(seg_[kTypeInfo].offset),
                                           b_.begin() + static_cast<long>(seg_[kTypeInfo].offset + kRecordSize * count_));
        for (int n = 0; n < count_; ++n) {
            std::memcpy(&b_[Record(n)], &records[static_cast<std::size_t>(order[n]) * kRecordSize], kRecordSize);
            Put(Record(n) + kTypeKind, (U32(Record(n) + kTypeKind) & 0xFFFF) | (static_cast<std::uint32_t>(n) << 16));
        }
    }

    const std::vector<unsigned char>& Bytes() const { return b_; }

private:
    struct Seg {
        std::uint32_t offset = 0, length = 0;
    };
    std::uint32_t U32(std::size_t at) const {
        if (at + 4 > b_.size()) throw Fail("read outside the file");
        return std::uint32_t{b_[at]} | std::uint32_t{b_[at + 1]} << 8 | std::uint32_t{b_[at + 2]} << 16 |
               std::uint32_t{b_[at + 3]} << 24;
    }
    void Put(std::size_t at, std::uint32_t v) {
        for (int k = 0; k < 4; ++k) b_.at(at + static_cast<std::size_t>(k)) = static_cast<unsigned char>(v >> (8 * k));
    }
    std::size_t Record(int index) const {
        if (index < 0 || index >= count_) throw Fail("no such type description");
        return seg_[kTypeInfo].offset + kRecordSize * static_cast<std::size_t>(index);
    }
    std::size_t At(int segment, std::uint32_t offset) const {
        if (offset >= seg_[segment].length) throw Fail("offset outside its segment");
        return seg_[segment].offset + offset;
    }

    std::vector<unsigned char> b_;
    int count_ = 0;
    Seg seg_[kSegmentCount];
};

int IndexOf(const Tlb& tlb, const std::string& name) {
    for (int i = 0; i < tlb.Count(); ++i)
        if (tlb.Name(i) == name) return i;
    throw Fail("no type description named " + name);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: typelib_fixup IN OUT ORDER [NAME:FLAGS]...\n");
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) throw Fail(std::string("cannot read ") + argv[1]);
        Tlb tlb(std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {}));

        std::vector<int> order;
        std::stringstream names(argv[3]);
        for (std::string name; std::getline(names, name, ',');) order.push_back(IndexOf(tlb, name));
        if (static_cast<int>(order.size()) != tlb.Count()) throw Fail("ORDER must name every type description once");
        for (int i = 0; i < tlb.Count(); ++i)
            if (std::count(order.begin(), order.end(), i) != 1) throw Fail("ORDER names a type twice");

        for (int a = 4; a < argc; ++a) {
            const std::string arg = argv[a];
            const auto colon = arg.find(':');
            if (colon == std::string::npos) throw Fail("expected NAME:FLAGS, got " + arg);
            tlb.SetFlags(IndexOf(tlb, arg.substr(0, colon)), static_cast<std::uint32_t>(std::stoul(arg.substr(colon + 1), nullptr, 16)));
        }
        tlb.Reorder(order);

        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(tlb.Bytes().data()), static_cast<std::streamsize>(tlb.Bytes().size()));
        if (!out) throw Fail(std::string("cannot write ") + argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "typelib_fixup: %s\n", e.what());
        return 1;
    }
    return 0;
}
