// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Little-endian field access and the walk over the records of an EMF or WMF
// file, shared by the reader, the player and the converter. Every access is
// checked against the bytes it reads from.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace trovix::metafile {

// A bounds-checked view of one record (or a whole file). Reads past the end
// give zero and set Overrun, so a short record draws nothing sensible but
// never reads outside the file.
class TReader {
 public:
  TReader() = default;
  explicit TReader(std::string_view bytes) : Bytes(bytes) {}
  size_t Size() const { return Bytes.size(); }
  bool Has(size_t offset, size_t count) const {
    return offset <= Bytes.size() && count <= Bytes.size() - offset;
  }
  uint8_t U8(size_t offset) const { return Has(offset, 1) ? Byte(offset) : Miss(); }
  uint16_t U16(size_t offset) const {
    return Has(offset, 2) ? uint16_t(Byte(offset) | Byte(offset + 1) << 8) : Miss();
  }
  int16_t I16(size_t offset) const { return int16_t(U16(offset)); }
  uint32_t U32(size_t offset) const {
    if (!Has(offset, 4)) return Miss();
    return uint32_t(Byte(offset)) | uint32_t(Byte(offset + 1)) << 8 |
           uint32_t(Byte(offset + 2)) << 16 | uint32_t(Byte(offset + 3)) << 24;
  }
  int32_t I32(size_t offset) const { return int32_t(U32(offset)); }
  float F32(size_t offset) const {
    uint32_t bits = U32(offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  // The bytes [offset, offset + count), or an empty view when they are not all there.
  std::string_view Sub(size_t offset, size_t count) const {
    if (!Has(offset, count)) {
      Overrun = true;
      return {};
    }
    return Bytes.substr(offset, count);
  }
  std::string_view Data() const { return Bytes; }
  mutable bool Overrun = false;

 private:
  uint8_t Byte(size_t offset) const { return uint8_t(Bytes[offset]); }
  int Miss() const {
    Overrun = true;
    return 0;
  }
  std::string_view Bytes;
};

constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kEmfMinHeader = 88;
constexpr size_t kPlaceableSize = 22;
constexpr size_t kWmfHeaderSize = 18;

// One record of either format: its type and its bytes, the 8-byte (EMF) or
// 6-byte (WMF) record header included.
struct TRecord {
  uint32_t Type = 0;
  TReader Data;
};

// Walks the records. Next() is false at the end-of-file record, at the end
// of the bytes, or at the first record that does not fit (then Broken is set).
class TRecordWalker {
 public:
  TRecordWalker(std::string_view bytes, bool emf, size_t start)
      : File(bytes), Emf(emf), Offset(start) {}
  bool Next(TRecord &record);
  bool Broken = false;
  std::string Problem;

 private:
  TReader File;
  bool Emf;
  size_t Offset;
  bool Done = false;
};

inline bool TRecordWalker::Next(TRecord &record) {
  if (Done) return false;
  size_t headerSize = Emf ? 8 : 6;
  if (Offset == File.Size()) {
    Done = true;
    return false;
  }
  if (!File.Has(Offset, headerSize)) {
    Done = Broken = true;
    Problem = "a record header runs past the end of the file";
    return false;
  }
  uint64_t size;
  uint32_t type;
  if (Emf) {
    type = File.U32(Offset);
    size = File.U32(Offset + 4);
    if (size < 8 || size % 4 != 0) {
      Done = Broken = true;
      Problem = "a record has an impossible size";
      return false;
    }
  } else {
    size = uint64_t(File.U32(Offset)) * 2;
    type = File.U16(Offset + 4);
    if (size < 6) {
      Done = Broken = true;
      Problem = "a record has an impossible size";
      return false;
    }
  }
  if (!File.Has(Offset, size)) {
    Done = Broken = true;
    Problem = "a record size runs past the end of the file";
    return false;
  }
  record.Type = type;
  record.Data = TReader(File.Data().substr(Offset, size));
  Offset += size;
  if ((Emf && type == 14) || (!Emf && type == 0)) Done = true;
  return true;
}

// Where the records start: after the EMF header record is the walker's job
// (the header is record one); for WMF after the placeable and file headers.
inline size_t WmfRecordsStart(std::string_view bytes) {
  TReader file(bytes);
  size_t header = file.U32(0) == kPlaceableKey ? kPlaceableSize : 0;
  return header + size_t(file.U16(header + 2)) * 2;
}

}  // namespace trovix::metafile
