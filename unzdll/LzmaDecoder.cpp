// LZMA entries: the zip header of the stream checked, the dictionary cut to what the entry can
// use, and the SDK's decoder run piece by piece between the archive and the receiver.
#include "unzdll/LzmaDecoder.h"

#include <algorithm>
#include <cstdlib>

extern "C" {
#include "LzmaDec.h"
}

#include "zip/ZipRecords.h"

namespace unz {

namespace {

void* Allocate(void*, size_t size) { return std::malloc(size); }
void Release(void*, void* address) { std::free(address); }
ISzAlloc kHeap = {Allocate, Release};
constexpr std::uint32_t kSmallestDictionary = 1u << 12;  // the decoder's own floor

}  // namespace

struct LzmaDecoder::State {
  CLzmaDec decoder;
  State() { LzmaDec_Construct(&decoder); }
  ~State() { LzmaDec_Free(&decoder, &kHeap); }
};

LzmaDecoder::LzmaDecoder() : state_(std::make_unique<State>()) {}

LzmaDecoder::~LzmaDecoder() = default;

UnzError LzmaDecoder::Decode(ArchiveFile& archive, const ZipEntry& entry, std::vector<unsigned char>& in,
                             std::vector<unsigned char>& out, const std::function<bool(std::size_t)>& hand) {
  using namespace ::zip::rec;
  constexpr unsigned kPrefix = kLzmaHeaderSize + kLzmaPropsSize;
  if (entry.compressedSize < kPrefix) return UnzError::kBadData;
  std::uint8_t prefix[kPrefix];
  if (archive.ReadAt(entry.dataOffset, prefix, kPrefix) != kPrefix) return UnzError::kArchiveRead;
  if (Le16(prefix + 2) != kLzmaPropsSize) return UnzError::kBadData;
  std::uint8_t* props = prefix + kLzmaHeaderSize;

  // Nothing refers back further than the entry's own output, so a dictionary larger than the entry
  // is never needed: the stream is decoded with one of the entry's size, which also keeps a
  // hostile size claim from costing memory.
  const std::uint32_t asked = Le32(props + 1);
  const std::uint32_t dictionary = std::min(asked, std::max<std::uint32_t>(entry.size, kSmallestDictionary));
  if (dictionary > kMaxDictionary) return UnzError::kOutOfMemory;
  Put32(props + 1, dictionary);
  CLzmaDec& dec = state_->decoder;
  const SRes made = LzmaDec_Allocate(&dec, props, kLzmaPropsSize, &kHeap);
  if (made == SZ_ERROR_MEM) return UnzError::kOutOfMemory;
  if (made != SZ_OK) return UnzError::kBadData;
  LzmaDec_Init(&dec);

  std::uint64_t readOffset = entry.dataOffset + kPrefix;
  std::uint32_t inputLeft = entry.compressedSize - kPrefix;
  std::size_t inPos = 0, inEnd = 0;
  std::uint32_t produced = 0;
  for (;;) {
    if (inPos == inEnd && inputLeft > 0) {
      const std::size_t want = std::min<std::size_t>(inputLeft, in.size());
      if (archive.ReadAt(readOffset, in.data(), want) != want) return UnzError::kArchiveRead;
      readOffset += want;
      inputLeft -= static_cast<std::uint32_t>(want);
      inPos = 0;
      inEnd = want;
    }
    SizeT outLength = std::min<std::size_t>(out.size(), entry.size - produced);
    SizeT inLength = inEnd - inPos;
    // The last piece must end the stream: at its end, or at its end marker.
    const ELzmaFinishMode finish = produced + outLength == entry.size ? LZMA_FINISH_END : LZMA_FINISH_ANY;
    ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
    const SRes result =
        LzmaDec_DecodeToBuf(&dec, out.data(), &outLength, in.data() + inPos, &inLength, finish, &status);
    inPos += inLength;
    produced += static_cast<std::uint32_t>(outLength);
    if (result != SZ_OK) return UnzError::kBadData;
    if (outLength > 0 && !hand(outLength)) return UnzError::kAborted;
    if (produced == entry.size &&
        (status == LZMA_STATUS_FINISHED_WITH_MARK || status == LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK))
      return UnzError::kNone;
    // An end marker before the entry's size: the data ends early.
    if (status == LZMA_STATUS_FINISHED_WITH_MARK) return UnzError::kBadData;
    // No progress while nothing more can be read: the stream is cut short.
    if (outLength == 0 && inLength == 0 && !(inPos == inEnd && inputLeft > 0)) return UnzError::kBadData;
  }
}

}  // namespace unz
