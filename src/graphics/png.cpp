#include "graphics/png.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

namespace {

// --- checksums ----------------------------------------------------------------

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    t[n] = c;
  }
  return t;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

// --- deflate ------------------------------------------------------------------

constexpr size_t kWindow = 32768;
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 258;
// How far a match search looks: beyond these the gain in size is small and the
// time grows with every step down a long chain.
constexpr int kMaxChain = 16;
constexpr size_t kNiceMatch = 128;
// With a match this long in hand, the lazy look one step on is cut short.
constexpr size_t kGoodMatch = 8;
// Inside longer matches only the last positions go into the hash chains: in
// the flat areas of a picture, inserting every byte would cost more than the
// search, and the matches that follow come from near by anyway.
constexpr size_t kMaxInsert = 32;
// Tokens per block: each block gets codes fitted to its own part of the
// picture, and a block that would not shrink is stored instead.
constexpr size_t kBlockTokens = 1 << 15;
constexpr int kHashBits = 15;
// Matches are looked for among positions that agree in four bytes: in a
// detailed picture three-byte matches far back cost about as much as their
// literals, and the chains of three bytes are long with them.
constexpr size_t kHashed = 4;

constexpr int kLitLenCodes = 286;
constexpr int kDistCodes = 30;
constexpr int kCodeLenCodes = 19;
constexpr int kEndOfBlock = 256;

// Lengths 3..258 and distances 1..32768 as their deflate code, the count of
// extra bits after it and the value those bits carry.
struct Coded {
  uint16_t code;
  uint8_t extraBits;
  uint16_t extra;
};

Coded LengthCode(size_t length) {
  const auto x = static_cast<unsigned>(length - kMinMatch);
  if (length == kMaxMatch) return {285, 0, 0};
  if (x < 8) return {static_cast<uint16_t>(257 + x), 0, 0};
  const int top = std::bit_width(x) - 1;  // 3..7
  return {static_cast<uint16_t>(257 + 4 * (top - 1) + ((x >> (top - 2)) & 3u)),
          static_cast<uint8_t>(top - 2), static_cast<uint16_t>(x & ((1u << (top - 2)) - 1))};
}

Coded DistanceCode(size_t distance) {
  const auto x = static_cast<unsigned>(distance - 1);
  if (x < 4) return {static_cast<uint16_t>(x), 0, 0};
  const int top = std::bit_width(x) - 1;  // 2..14
  return {static_cast<uint16_t>(2 * top + ((x >> (top - 1)) & 1u)), static_cast<uint8_t>(top - 1),
          static_cast<uint16_t>(x & ((1u << (top - 1)) - 1))};
}

constexpr std::array<uint8_t, 29> kLengthExtraBits = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint8_t DistanceExtraBits(int code) {
  return static_cast<uint8_t>(code < 4 ? 0 : code / 2 - 1);
}

// A literal byte (symbol below 256) or a match, already in its codes so that
// sizing a block in two sets of codes and writing it look nothing up twice.
struct Token {
  uint16_t symbol;
  uint8_t distanceCode;
  uint8_t lengthExtra;
  uint16_t distanceExtra;
};

// Writes bits from the least significant up, as deflate packs them.
class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}

  // count is at most 32.
  void Put(uint32_t value, int count) {
    acc_ |= static_cast<uint64_t>(value) << filled_;
    filled_ += count;
    if (filled_ >= 32) {
      const auto word = static_cast<uint32_t>(acc_);
      const uint8_t bytes[4] = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                                static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)};
      out_.insert(out_.end(), bytes, bytes + 4);
      acc_ >>= 32;
      filled_ -= 32;
    }
  }
  void AlignToByte() {
    if (filled_ % 8) Put(0, 8 - filled_ % 8);
    for (; filled_ > 0; filled_ -= 8, acc_ >>= 8) out_.push_back(static_cast<uint8_t>(acc_));
  }
  // Whole bytes, for stored blocks; only after AlignToByte.
  void PutBytes(const uint8_t* data, size_t size) { out_.insert(out_.end(), data, data + size); }

 private:
  std::vector<uint8_t>& out_;
  uint64_t acc_ = 0;
  int filled_ = 0;
};

// Code lengths of a Huffman code for freqs, none longer than maxBits. Unused
// symbols get 0; at least two symbols get a length, since a code of one
// symbol is not complete and some decoders refuse it.
std::vector<uint8_t> CodeLengths(const std::vector<uint32_t>& freqs, int maxBits) {
  const size_t n = freqs.size();
  std::vector<uint32_t> f = freqs;
  size_t used =
      static_cast<size_t>(std::count_if(f.begin(), f.end(), [](uint32_t v) { return v; }));
  for (size_t i = 0; used < 2 && i < n; ++i) {
    if (!f[i]) {
      f[i] = 1;
      ++used;
    }
  }
  std::vector<uint8_t> lengths(n, 0);
  for (;;) {
    // Two queues: the leaves by weight, then the inner nodes, which come out
    // of the merging already in order of weight.
    std::vector<uint32_t> leaves;
    for (size_t i = 0; i < n; ++i) {
      if (f[i]) leaves.push_back(static_cast<uint32_t>(i));
    }
    std::stable_sort(leaves.begin(), leaves.end(),
                     [&](uint32_t a, uint32_t b) { return f[a] < f[b]; });
    const size_t m = leaves.size();
    std::vector<uint64_t> weight(2 * m - 1);
    std::vector<size_t> parent(2 * m - 1, 0);
    for (size_t i = 0; i < m; ++i) weight[i] = f[leaves[i]];
    size_t nextLeaf = 0, nextInner = m, made = m;
    auto take = [&]() {
      if (nextLeaf < m && (nextInner == made || weight[nextLeaf] <= weight[nextInner]))
        return nextLeaf++;
      return nextInner++;
    };
    while (made < 2 * m - 1) {
      const size_t a = take(), b = take();
      weight[made] = weight[a] + weight[b];
      parent[a] = parent[b] = made;
      ++made;
    }
    std::vector<int> depth(2 * m - 1, 0);
    int longest = 0;
    for (size_t i = 2 * m - 1; i-- > 0;) {
      if (i != 2 * m - 2) depth[i] = depth[parent[i]] + 1;
      if (i < m) longest = std::max(longest, depth[i]);
    }
    if (longest <= maxBits) {
      for (size_t i = 0; i < m; ++i) lengths[leaves[i]] = static_cast<uint8_t>(depth[i]);
      return lengths;
    }
    // Flatter weights make a shallower tree; rare symbols lose a little.
    for (auto& v : f) {
      if (v) v = (v >> 1) | 1;
    }
  }
}

// The canonical codes for the lengths (RFC 1951, 3.2.2), bit-reversed: the
// writer puts bits least significant first, Huffman codes go the other way.
std::vector<uint16_t> CanonicalCodes(const std::vector<uint8_t>& lengths) {
  std::array<uint16_t, 16> count{}, next{};
  for (uint8_t l : lengths) ++count[l];
  count[0] = 0;
  uint16_t code = 0;
  for (int bits = 1; bits < 16; ++bits) {
    code = static_cast<uint16_t>((code + count[bits - 1]) << 1);
    next[bits] = code;
  }
  std::vector<uint16_t> codes(lengths.size(), 0);
  for (size_t i = 0; i < lengths.size(); ++i) {
    if (!lengths[i]) continue;
    const unsigned canonical = next[lengths[i]]++;
    unsigned reversed = 0;
    for (int b = 0; b < lengths[i]; ++b)
      reversed |= ((canonical >> b) & 1u) << (lengths[i] - 1 - b);
    codes[i] = static_cast<uint16_t>(reversed);
  }
  return codes;
}

struct Code {
  std::vector<uint8_t> lengths;
  std::vector<uint16_t> codes;
};

Code FixedLitLen() {
  Code c;
  c.lengths.resize(288);
  for (size_t i = 0; i < 288; ++i) c.lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
  c.codes = CanonicalCodes(c.lengths);
  return c;
}
Code FixedDist() {
  Code c;
  c.lengths.assign(30, 5);
  c.codes = CanonicalCodes(c.lengths);
  return c;
}

// The order in which a dynamic block lists the code-length code's lengths.
constexpr std::array<uint8_t, kCodeLenCodes> kCodeLenOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                              11, 4,  12, 3, 13, 2, 14, 1, 15};

// One entry of a dynamic block's run-length coded table of code lengths.
struct LengthRun {
  uint8_t symbol;  // 0..15 a length, 16 repeat the last, 17/18 repeat zero
  uint8_t extra;
};

std::vector<LengthRun> RunLengths(const std::vector<uint8_t>& lengths) {
  std::vector<LengthRun> runs;
  for (size_t i = 0; i < lengths.size();) {
    const uint8_t v = lengths[i];
    size_t run = 1;
    while (i + run < lengths.size() && lengths[i + run] == v) ++run;
    i += run;
    if (v == 0) {
      while (run >= 11) {
        const size_t k = std::min<size_t>(run, 138);
        runs.push_back({18, static_cast<uint8_t>(k - 11)});
        run -= k;
      }
      if (run >= 3) {
        runs.push_back({17, static_cast<uint8_t>(run - 3)});
        run = 0;
      }
    } else {
      runs.push_back({v, 0});
      --run;
      while (run >= 3) {
        const size_t k = std::min<size_t>(run, 6);
        runs.push_back({16, static_cast<uint8_t>(k - 3)});
        run -= k;
      }
    }
    for (; run > 0; --run) runs.push_back({v, 0});
  }
  return runs;
}

constexpr int RunExtraBits(uint8_t symbol) {
  return symbol == 16 ? 2 : symbol == 17 ? 3 : symbol == 18 ? 7 : 0;
}

class Deflater {
 public:
  Deflater(const uint8_t* data, size_t size, std::vector<uint8_t>& out)
      : data_(data), size_(size), bits_(out), fixedLitLen_(FixedLitLen()), fixedDist_(FixedDist()) {
    head_.assign(size_t{1} << kHashBits, 0);
    prev_.assign(kWindow, 0);
    tokens_.reserve(kBlockTokens);
  }

  void Run() {
    // A match found at one position waits a step to see whether the next
    // position starts a longer one (the literal in between costs little).
    bool waiting = false;
    Match held{};
    size_t i = 0;
    while (i < size_) {
      const Match cur = Find(i, waiting && held.length >= kGoodMatch ? kMaxChain / 4 : kMaxChain);
      Insert(i);
      if (waiting) {
        if (cur.length > held.length) {
          Literal(data_[i - 1]);
          held = cur;
          ++i;
          continue;
        }
        waiting = false;
        const size_t start = i - 1;
        Emit(held);
        InsertMatched(i, start + held.length - i);
        i = start + held.length;
        continue;
      }
      if (cur.length >= kMinMatch && cur.length < kNiceMatch) {
        held = cur;
        waiting = true;
        ++i;
        continue;
      }
      if (cur.length >= kMinMatch) {
        Emit(cur);
        InsertMatched(i, cur.length);
        i += cur.length;
      } else {
        Literal(data_[i]);
        ++i;
      }
    }
    Flush(true);
    bits_.AlignToByte();
  }

 private:
  struct Match {
    size_t length = 0;
    size_t distance = 0;
  };

  uint32_t Hash(size_t p) const {
    uint32_t v;
    std::memcpy(&v, data_ + p, kHashed);
    return (v * 2654435761u) >> (32 - kHashBits);
  }

  // Positions are kept one up, so that 0 is "none".
  void Insert(size_t p) {
    if (p + kHashed > size_) return;
    const uint32_t h = Hash(p);
    prev_[p & (kWindow - 1)] = head_[h];
    head_[h] = static_cast<uint32_t>(p + 1);
  }

  // Eight bytes at a time while they agree; on a little-endian machine the
  // lowest differing bit also tells the first differing byte.
  static size_t MatchLength(const uint8_t* a, const uint8_t* b, size_t limit) {
    size_t len = 0;
    for (; len + 8 <= limit; len += 8) {
      uint64_t x, y;
      std::memcpy(&x, a + len, 8);
      std::memcpy(&y, b + len, 8);
      if (x == y) continue;
      if constexpr (std::endian::native == std::endian::little)
        return len + static_cast<size_t>(std::countr_zero(x ^ y) / 8);
      break;
    }
    while (len < limit && a[len] == b[len]) ++len;
    return len;
  }

  static bool SameHashedBytes(const uint8_t* a, const uint8_t* b) {
    uint32_t x, y;
    std::memcpy(&x, a, kHashed);
    std::memcpy(&y, b, kHashed);
    return x == y;
  }

  Match Find(size_t i, int maxChain) const {
    Match best;
    if (i + kHashed > size_) return best;
    const size_t limit = std::min(kMaxMatch, size_ - i);
    const uint8_t* here = data_ + i;
    uint32_t candidate = head_[Hash(i)];
    for (int chain = maxChain; candidate && chain > 0; --chain) {
      const size_t c = candidate - 1;
      if (i - c > kWindow) break;
      const uint8_t* there = data_ + c;
      // Positions that only share the hash, and those whose byte at the
      // length found so far differs, cannot give a longer match.
      if (there[best.length] == here[best.length] && SameHashedBytes(there, here)) {
        const size_t len = MatchLength(there, here, limit);
        if (len > best.length && len >= kMinMatch) {
          best = {len, i - c};
          if (len >= limit || len >= kNiceMatch) break;
        }
      }
      // A slot of the ring overwritten by a newer position ends the chain.
      const uint32_t older = prev_[c & (kWindow - 1)];
      if (older >= candidate) break;
      candidate = older;
    }
    return best;
  }

  void Literal(uint8_t byte) { Add({byte, 0, 0, 0}, 1); }
  void Emit(const Match& m) {
    const Coded l = LengthCode(m.length), d = DistanceCode(m.distance);
    Add({l.code, static_cast<uint8_t>(d.code), static_cast<uint8_t>(l.extra), d.extra}, m.length);
  }
  // Hashes the positions a match covers after its first.
  void InsertMatched(size_t start, size_t length) {
    const size_t from = length > kMaxInsert ? start + length - kMinMatch : start + 1;
    for (size_t p = from; p < start + length; ++p) Insert(p);
  }
  void Add(Token t, size_t covered) {
    if (tokens_.size() == kBlockTokens) Flush(false);
    tokens_.push_back(t);
    blockEnd_ += covered;
  }

  // Bits the block's tokens take in the given codes, the block header aside.
  uint64_t TokenBits(const std::vector<uint8_t>& litLen, const std::vector<uint8_t>& dist) const {
    uint64_t bits = litLen[kEndOfBlock];
    for (const Token& t : tokens_) {
      bits += litLen[t.symbol];
      if (t.symbol > kEndOfBlock) {
        bits += kLengthExtraBits[t.symbol - 257u] + dist[t.distanceCode] +
                DistanceExtraBits(t.distanceCode);
      }
    }
    return bits;
  }

  void PutTokens(const Code& litLen, const Code& dist) {
    for (const Token& t : tokens_) {
      bits_.Put(litLen.codes[t.symbol], litLen.lengths[t.symbol]);
      if (t.symbol > kEndOfBlock) {
        bits_.Put(t.lengthExtra, kLengthExtraBits[t.symbol - 257u]);
        bits_.Put(dist.codes[t.distanceCode], dist.lengths[t.distanceCode]);
        bits_.Put(t.distanceExtra, DistanceExtraBits(t.distanceCode));
      }
    }
    bits_.Put(litLen.codes[kEndOfBlock], litLen.lengths[kEndOfBlock]);
  }

  // Ends the block of the tokens so far in whichever of the three block kinds
  // is shortest.
  void Flush(bool last) {
    std::vector<uint32_t> litFreq(kLitLenCodes, 0), distFreq(kDistCodes, 0);
    for (const Token& t : tokens_) {
      ++litFreq[t.symbol];
      if (t.symbol > kEndOfBlock) ++distFreq[t.distanceCode];
    }
    litFreq[kEndOfBlock] = 1;
    Code litLen, dist;
    litLen.lengths = CodeLengths(litFreq, 15);
    dist.lengths = CodeLengths(distFreq, 15);
    litLen.codes = CanonicalCodes(litLen.lengths);
    dist.codes = CanonicalCodes(dist.lengths);

    // The header lists lengths up to the last one in use.
    size_t hlit = kLitLenCodes, hdist = kDistCodes;
    while (hlit > 257 && litLen.lengths[hlit - 1] == 0) --hlit;
    while (hdist > 1 && dist.lengths[hdist - 1] == 0) --hdist;
    std::vector<uint8_t> all(litLen.lengths.begin(),
                             litLen.lengths.begin() + static_cast<ptrdiff_t>(hlit));
    all.insert(all.end(), dist.lengths.begin(),
               dist.lengths.begin() + static_cast<ptrdiff_t>(hdist));
    const std::vector<LengthRun> runs = RunLengths(all);
    std::vector<uint32_t> runFreq(kCodeLenCodes, 0);
    for (const LengthRun& r : runs) ++runFreq[r.symbol];
    Code lenCode;
    lenCode.lengths = CodeLengths(runFreq, 7);
    lenCode.codes = CanonicalCodes(lenCode.lengths);
    size_t hclen = kCodeLenCodes;
    while (hclen > 4 && lenCode.lengths[kCodeLenOrder[hclen - 1]] == 0) --hclen;

    uint64_t dynamicBits = 3 + 5 + 5 + 4 + 3 * hclen + TokenBits(litLen.lengths, dist.lengths);
    for (const LengthRun& r : runs)
      dynamicBits += lenCode.lengths[r.symbol] + RunExtraBits(r.symbol);
    const uint64_t fixedBits = 3 + TokenBits(fixedLitLen_.lengths, fixedDist_.lengths);
    const size_t raw = blockEnd_ - blockStart_;
    const uint64_t pieces = std::max<uint64_t>(1, (raw + 65534) / 65535);
    const uint64_t storedBits = pieces * (3 + 7 + 32) + 8 * raw;

    if (storedBits < dynamicBits && storedBits < fixedBits) {
      size_t at = blockStart_;
      do {
        const size_t n = std::min<size_t>(blockEnd_ - at, 65535);
        bits_.Put(last && at + n == blockEnd_ ? 1 : 0, 3);
        bits_.AlignToByte();
        bits_.Put(static_cast<uint32_t>(n), 16);
        bits_.Put(static_cast<uint32_t>(~n & 0xFFFF), 16);
        bits_.AlignToByte();
        bits_.PutBytes(data_ + at, n);
        at += n;
      } while (at < blockEnd_);
    } else if (fixedBits <= dynamicBits) {
      bits_.Put(last ? 1 : 0, 1);
      bits_.Put(1, 2);
      PutTokens(fixedLitLen_, fixedDist_);
    } else {
      bits_.Put(last ? 1 : 0, 1);
      bits_.Put(2, 2);
      bits_.Put(static_cast<uint32_t>(hlit - 257), 5);
      bits_.Put(static_cast<uint32_t>(hdist - 1), 5);
      bits_.Put(static_cast<uint32_t>(hclen - 4), 4);
      for (size_t k = 0; k < hclen; ++k) bits_.Put(lenCode.lengths[kCodeLenOrder[k]], 3);
      for (const LengthRun& r : runs) {
        bits_.Put(lenCode.codes[r.symbol], lenCode.lengths[r.symbol]);
        bits_.Put(r.extra, RunExtraBits(r.symbol));
      }
      PutTokens(litLen, dist);
    }
    tokens_.clear();
    blockStart_ = blockEnd_;
  }

  const uint8_t* data_;
  size_t size_;
  BitWriter bits_;
  Code fixedLitLen_, fixedDist_;
  std::vector<uint32_t> head_, prev_;
  std::vector<Token> tokens_;
  size_t blockStart_ = 0, blockEnd_ = 0;
};

// --- PNG ----------------------------------------------------------------------

// Big chunks gain nothing; this keeps each one easy on readers with small
// buffers.
constexpr size_t kIdatMax = 1 << 16;

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>((v >> s) & 0xFF));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t size) {
  Put32(out, static_cast<uint32_t>(size));
  const size_t body = out.size();
  out.insert(out.end(), type, type + 4);
  if (size) out.insert(out.end(), data, data + size);
  Put32(out, Crc32(out.data() + body, size + 4));
}

constexpr std::array<uint8_t, 32> MakeSpread() {
  std::array<uint8_t, 32> t{};
  for (unsigned v = 0; v < 32; ++v) t[v] = static_cast<uint8_t>((v << 3) | (v >> 2));
  return t;
}
// Five bits over eight so that white stays white.
constexpr std::array<uint8_t, 32> kSpread = MakeSpread();

// A filtered byte read as the signed difference it stands for.
unsigned Magnitude(uint8_t v) { return v < 128 ? v : 256u - v; }

// The picture as PNG scanlines, each row behind whichever of None, Sub and Up
// leaves it smallest in sum of magnitudes: flat areas become runs of zero.
std::vector<uint8_t> FilteredRows(const uint16_t* pixels, int width, int height, int stride,
                                  bool bottomUp) {
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  std::vector<uint8_t> out((rowBytes + 1) * static_cast<size_t>(height));
  std::vector<uint8_t> above(rowBytes, 0), rgb(rowBytes);
  for (int y = 0; y < height; ++y) {
    const int memoryRow = bottomUp ? height - 1 - y : y;
    const uint16_t* src = pixels + static_cast<ptrdiff_t>(memoryRow) * stride;
    for (int x = 0; x < width; ++x) {
      const unsigned v = src[x];
      uint8_t* p = rgb.data() + static_cast<size_t>(x) * 3;
      p[0] = kSpread[(v >> 10) & 31];
      p[1] = kSpread[(v >> 5) & 31];
      p[2] = kSpread[v & 31];
    }
    uint64_t none = 0, sub = 0, up = 0;
    for (size_t i = 0; i < rowBytes; ++i) {
      const uint8_t left = i >= 3 ? rgb[i - 3] : 0;
      none += Magnitude(rgb[i]);
      sub += Magnitude(static_cast<uint8_t>(rgb[i] - left));
      up += Magnitude(static_cast<uint8_t>(rgb[i] - above[i]));
    }
    uint8_t* line = out.data() + static_cast<size_t>(y) * (rowBytes + 1);
    if (sub < none && sub <= up) {
      line[0] = 1;
      for (size_t i = 0; i < 3; ++i) line[1 + i] = rgb[i];
      for (size_t i = 3; i < rowBytes; ++i) line[1 + i] = static_cast<uint8_t>(rgb[i] - rgb[i - 3]);
    } else if (up < none && up < sub) {
      line[0] = 2;
      for (size_t i = 0; i < rowBytes; ++i) line[1 + i] = static_cast<uint8_t>(rgb[i] - above[i]);
    } else {
      line[0] = 0;
      std::memcpy(line + 1, rgb.data(), rowBytes);
    }
    above.swap(rgb);
  }
  return out;
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t Adler32(const uint8_t* data, size_t size, uint32_t adler) {
  constexpr uint32_t kMod = 65521;
  // 5552 bytes is the most that can be summed before b overflows 32 bits.
  constexpr size_t kRun = 5552;
  uint32_t a = adler & 0xFFFF, b = adler >> 16;
  while (size > 0) {
    const size_t n = std::min(size, kRun);
    for (size_t i = 0; i < n; ++i) {
      a += data[i];
      b += a;
    }
    a %= kMod;
    b %= kMod;
    data += n;
    size -= n;
  }
  return (b << 16) | a;
}

std::vector<uint8_t> ZlibCompress(const uint8_t* data, size_t size) {
  std::vector<uint8_t> z = {0x78, 0x9C};  // deflate, 32 KiB window
  z.reserve(size / 8 + 64);
  Deflater(data, size, z).Run();
  Put32(z, Adler32(data, size));
  return z;
}

std::vector<uint8_t> EncodePng555(const uint16_t* pixels, int width, int height, int strideInPixels,
                                  bool bottomUp) {
  if (!pixels || width < 1 || height < 1 || strideInPixels < width) return {};
  // Match positions are kept in 32 bits.
  const uint64_t rawSize = (static_cast<uint64_t>(width) * 3 + 1) * static_cast<uint64_t>(height);
  if (rawSize >= std::numeric_limits<uint32_t>::max()) return {};

  const std::vector<uint8_t> raw = FilteredRows(pixels, width, height, strideInPixels, bottomUp);
  const std::vector<uint8_t> z = ZlibCompress(raw.data(), raw.size());

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  png.reserve(z.size() + z.size() / kIdatMax * 12 + 64);
  std::vector<uint8_t> ihdr;
  Put32(ihdr, static_cast<uint32_t>(width));
  Put32(ihdr, static_cast<uint32_t>(height));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no interlace
  PutChunk(png, "IHDR", ihdr.data(), ihdr.size());
  for (size_t at = 0; at < z.size(); at += kIdatMax)
    PutChunk(png, "IDAT", z.data() + at, std::min(kIdatMax, z.size() - at));
  PutChunk(png, "IEND", nullptr, 0);
  return png;
}
