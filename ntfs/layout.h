// The on-disk layouts this program reads, in one place.
//
// Fields are named by their byte offsets rather than by overlaying packed
// structs: every read goes through the bounds-checked readers of
// byte_reader.h. Sizes are pinned so a mistyped offset fails to compile.
#pragma once

#include <cstddef>
#include <cstdint>

namespace verandol::layout {

// --- Boot sector (always the first 512 bytes of the volume) ---------------
namespace boot {
inline constexpr std::size_t kSize = 512;
inline constexpr std::size_t kOemId = 0x03;             // 8 bytes; only the first 4 are compared
inline constexpr std::size_t kOemIdCompared = 4;
inline constexpr std::size_t kBytesPerSector = 0x0B;    // u16
inline constexpr std::size_t kSectorsPerCluster = 0x0D; // u8, above 0x80 a negative power of two
inline constexpr std::size_t kTotalSectors = 0x28;      // s64
inline constexpr std::size_t kMftCluster = 0x30;        // s64
inline constexpr std::size_t kMftMirrorCluster = 0x38;  // s64
inline constexpr std::size_t kClustersPerRecord = 0x40; // s8 plus three reserved bytes, read as u32
inline constexpr std::size_t kClustersPerIndex = 0x44;  // (not read)
inline constexpr std::size_t kSerialNumber = 0x48;      // u64
inline constexpr std::size_t kOemIdLength = 8;         // "NTFS" and four spaces
inline constexpr std::size_t kEndSignature = 0x1FE;   // u16 0xAA55 (not read by the scan)
inline constexpr std::uint16_t kEndSignatureValue = 0xAA55;
static_assert(kSerialNumber + 8 <= kSize);
static_assert(kEndSignature + 2 == kSize);
static_assert(kClustersPerRecord + 4 == kClustersPerIndex);
}  // namespace boot

// --- MFT file record header ------------------------------------------------
namespace record {
inline constexpr std::size_t kSignature = 0;        // "FILE"
inline constexpr std::size_t kUsaOffset = 4;        // u16: update sequence array offset
inline constexpr std::size_t kUsaCount = 6;         // u16: entries, the sequence number included
inline constexpr std::size_t kLogSequence = 8;      // u64 (not read)
inline constexpr std::size_t kSequenceNumber = 16;  // u16: bumped each time the record is freed
inline constexpr std::size_t kLinkCount = 18;       // u16 (not read)
inline constexpr std::size_t kFirstAttribute = 20;  // u16
inline constexpr std::size_t kFlags = 22;           // u16: 0x0001 in use, 0x0002 directory
inline constexpr std::size_t kBytesInUse = 24;      // u32 (not read)
inline constexpr std::size_t kBytesAllocated = 28;  // u32 (not read)
inline constexpr std::size_t kBaseRecord = 32;      // u64: file reference of the base record, 0 in a base record
inline constexpr std::size_t kNextAttributeId = 40; // u16 (not read)
inline constexpr std::size_t kRecordNumber = 44;    // u32: the record's own number (NTFS 3.1 headers)
inline constexpr std::size_t kHeaderSize = 48;
static_assert(kNextAttributeId + 2 + 2 == kRecordNumber && kRecordNumber + 4 == kHeaderSize);
// The update sequence array of a header that holds the record number starts
// after it; an older header's array starts at 0x2A and has no number.
inline constexpr std::size_t kNumberedUsaOffset = kHeaderSize;

inline constexpr std::uint8_t kSignatureBytes[4] = {'F', 'I', 'L', 'E'};
inline constexpr std::uint16_t kFlagInUse = 0x0001;
inline constexpr std::uint16_t kFlagDirectory = 0x0002;

// NTFS protects every 512 bytes of a record with the update sequence number,
// whatever the volume's sector size.
inline constexpr std::size_t kFixupStride = 512;

// Records 0 to 15 are the file system's own metadata files.
inline constexpr std::int64_t kFirstUserRecord = 16;
inline constexpr std::int64_t kVolumeRecord = 3;  // $Volume, the last record $MFTMirr copies
}  // namespace record

// --- Attribute headers -----------------------------------------------------
namespace attr {
inline constexpr std::uint32_t kStandardInformation = 0x10;
inline constexpr std::uint32_t kAttributeList = 0x20;
inline constexpr std::uint32_t kFileName = 0x30;
inline constexpr std::uint32_t kVolumeName = 0x60;  // in record 3, $Volume: the label in UTF-16
inline constexpr std::uint32_t kData = 0x80;
inline constexpr std::uint32_t kIndexAllocation = 0xA0;
inline constexpr std::uint32_t kBitmap = 0xB0;
inline constexpr std::uint32_t kEnd = 0xFFFFFFFF;

// Common header
inline constexpr std::size_t kType = 0;          // u32
inline constexpr std::size_t kLength = 4;        // u32: to the next attribute
inline constexpr std::size_t kNonResident = 8;   // u8
inline constexpr std::size_t kNameLength = 9;    // u8: 0 for the unnamed data stream
inline constexpr std::size_t kNameOffset = 10;   // u16: where the name's UTF-16 units begin
inline constexpr std::size_t kFlags = 12;        // u16
inline constexpr std::size_t kId = 14;           // u16 (not read)
inline constexpr std::size_t kHeaderSize = 16;
static_assert(kId + 2 == kHeaderSize);

inline constexpr std::uint16_t kFlagCompressed = 0x0001;
inline constexpr std::uint16_t kFlagEncrypted = 0x4000;
inline constexpr std::uint16_t kFlagSparse = 0x8000;
// The low byte holds the compression method; any of its bits marks compressed data.
inline constexpr std::uint16_t kCompressionMask = 0x00FF;

// Resident header
inline constexpr std::size_t kValueLength = 16;  // u32
inline constexpr std::size_t kValueOffset = 20;  // u16
inline constexpr std::size_t kIndexedFlag = 22;  // u8 (not read)
inline constexpr std::size_t kResidentHeaderSize = 24;
static_assert(kIndexedFlag + 2 == kResidentHeaderSize);

// Non-resident header
inline constexpr std::size_t kFirstVcn = 16;        // s64
inline constexpr std::size_t kLastVcn = 24;         // s64
inline constexpr std::size_t kRunListOffset = 32;   // u16
inline constexpr std::size_t kCompressionUnit = 34; // u16: log2 of the clusters per compression unit
inline constexpr std::size_t kAllocatedSize = 40;   // s64: clusters held, in bytes
inline constexpr std::size_t kRealSize = 48;        // s64
inline constexpr std::size_t kInitializedSize = 56; // s64: bytes past it read as zeros
inline constexpr std::size_t kCompressedSize = 64;  // s64, compressed attributes only (not read)
inline constexpr std::size_t kNonResidentHeaderSize = 72;
static_assert(kCompressedSize + 8 == kNonResidentHeaderSize);
}  // namespace attr

// --- $STANDARD_INFORMATION, offsets from the attribute's first byte --------
namespace std_info {
inline constexpr std::size_t kCreationTime = 24;      // NTFS time
inline constexpr std::size_t kModificationTime = 32;  // NTFS time
inline constexpr std::size_t kAccessTime = 48;        // NTFS time
inline constexpr std::size_t kAttributeSize = 96;
static_assert(kModificationTime + 8 <= 40);  // a 48-byte value still holds both times
}  // namespace std_info

// --- $FILE_NAME, offsets from the attribute's first byte -------------------
namespace file_name {
inline constexpr std::size_t kParentReference = 24;  // u64: folder's record (48 bits), sequence (16)
inline constexpr std::size_t kTimes = 32;            // four NTFS times: created, modified, record changed, accessed
inline constexpr std::size_t kModificationTime = kTimes + 8;
inline constexpr std::size_t kAccessTime = kTimes + 24;
inline constexpr std::size_t kAllocatedSize = 64;    // (not read)
inline constexpr std::size_t kRealSize = 72;         // (not read)
inline constexpr std::size_t kFileAttributes = 80;   // (not read)
inline constexpr std::size_t kReparseValue = 84;     // (not read)
inline constexpr std::size_t kNameLength = 88;       // u8, UTF-16 code units
inline constexpr std::size_t kNamespace = 89;        // u8
inline constexpr std::size_t kName = 90;             // UTF-16LE, no terminator
inline constexpr std::size_t kAttributeSize = 92;    // the layout holds the first code unit
static_assert(kTimes + 4 * 8 == kAllocatedSize);
static_assert(kName + 2 == kAttributeSize);

inline constexpr std::uint8_t kNamespacePosix = 0;
inline constexpr std::uint8_t kNamespaceWin32 = 1;
inline constexpr std::uint8_t kNamespaceDos = 2;
inline constexpr std::uint8_t kNamespaceWin32AndDos = 3;
}  // namespace file_name

// --- $ATTRIBUTE_LIST entries, offsets from the entry's first byte ---------
namespace attr_list {
inline constexpr std::size_t kType = 0;            // u32
inline constexpr std::size_t kEntryLength = 4;     // u16: to the next entry
inline constexpr std::size_t kNameLength = 6;      // u8, UTF-16 code units
inline constexpr std::size_t kNameOffset = 7;      // u8 (not read)
inline constexpr std::size_t kFirstVcn = 8;        // s64: first cluster of the piece
inline constexpr std::size_t kSegment = 16;        // u64: record number (48 bits), sequence (16 bits)
inline constexpr std::size_t kAttributeId = 24;    // u16
inline constexpr std::size_t kMinEntrySize = 26;   // the name follows
static_assert(kAttributeId + 2 == kMinEntrySize);

// NTFS never lets an attribute list grow past 256 KiB.
inline constexpr std::size_t kMaxListBytes = 256 * 1024;
}  // namespace attr_list

// --- Index blocks ("INDX", the clusters of a folder's $INDEX_ALLOCATION) ---
namespace index_block {
inline constexpr std::uint8_t kSignatureBytes[4] = {'I', 'N', 'D', 'X'};
inline constexpr std::size_t kUsaOffset = 4;        // u16, as in a file record
inline constexpr std::size_t kUsaCount = 6;         // u16
inline constexpr std::size_t kLogSequence = 8;      // u64 (not read)
inline constexpr std::size_t kVcn = 16;             // s64 (not read)
inline constexpr std::size_t kNodeHeader = 24;      // the offsets below count from here
inline constexpr std::size_t kEntriesOffset = 24;   // u32, from kNodeHeader
inline constexpr std::size_t kBytesInUse = 28;      // u32, from kNodeHeader: the end of the live entries
inline constexpr std::size_t kBytesAllocated = 32;  // u32, from kNodeHeader: the slack ends here
inline constexpr std::size_t kHeaderSize = 40;
static_assert(kNodeHeader + 16 == kHeaderSize);
}  // namespace index_block

// --- Index entries of a folder index ($I30), offsets from the entry ------
namespace index_entry {
inline constexpr std::size_t kFileReference = 0;  // u64: the file's record (48 bits), sequence (16)
inline constexpr std::size_t kEntryLength = 8;    // u16: to the next entry, a multiple of 8
inline constexpr std::size_t kKeyLength = 10;     // u16: the $FILE_NAME value that follows
inline constexpr std::size_t kFlags = 12;         // u16: 0x0001 has a subnode, 0x0002 last entry
inline constexpr std::size_t kKey = 16;
inline constexpr std::uint16_t kFlagLast = 0x0002;
// In the key, a $FILE_NAME value: its fields lie 24 bytes (the resident
// header) before the attribute offsets of file_name::.
inline constexpr std::size_t kKeyParentReference = 0;  // u64
inline constexpr std::size_t kKeyCreationTime = 8;      // NTFS time, as the entry was last written
inline constexpr std::size_t kKeyModificationTime = 16; // NTFS time
inline constexpr std::size_t kKeyChangeTime = 24;       // NTFS time: the record last changed
inline constexpr std::size_t kKeyAccessTime = 32;       // NTFS time
inline constexpr std::size_t kKeyAllocatedSize = 40;    // s64: bytes of clusters the data held
inline constexpr std::size_t kKeyDataSize = 48;         // s64: the data's length
inline constexpr std::size_t kKeyFileAttributes = 56;   // u32: 0x10000000 for a folder
inline constexpr std::uint32_t kKeyAttributeFolder = 0x10000000;
inline constexpr std::size_t kKeyNameLength = 64;      // u8
inline constexpr std::size_t kKeyNamespace = 65;       // u8
inline constexpr std::size_t kKeyName = 66;            // UTF-16LE
static_assert(kKeyFileAttributes + attr::kResidentHeaderSize == file_name::kFileAttributes);
static_assert(kKeyAccessTime + attr::kResidentHeaderSize == file_name::kAccessTime);
static_assert(kKeyName + attr::kResidentHeaderSize == file_name::kName);
}  // namespace index_entry

// A file reference: the record number in the low 48 bits, the record's
// sequence number when the reference was made in the high 16.
inline constexpr std::uint64_t kReferenceRecordMask = (std::uint64_t{1} << 48) - 1;

}  // namespace verandol::layout
