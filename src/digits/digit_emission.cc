#include "digits/digit_emission.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <tuple>

#include "codegen/code_writer.h"
#include "codegen/register.h"
#include "digits/digit_layout.h"
#include "digits/plan_analysis.h"

namespace tarvek {
namespace {

class DigitWriter {
 public:
  DigitWriter(const ColumnPlan& plan, const DigitSpec& spec, const DigitNames& names,
              const PlanAnalysis& analysis, bool copy_inputs)
      : plan_(plan),
        spec_(spec),
        names_(names),
        analysis_(analysis),
        layout_(lay_out(plan, spec, analysis_, copy_inputs)),
        writer_(names.core),
        temp_bytes_(layout_.temp_bytes) {}

  EmittedDigits emit() {
    copy_overwritten_inputs();
    sum_scratch_terms();
    for (int k = 0; k < spec_.count; ++k) normalise_column(k);
    EmittedDigits emitted;
    emitted.code = writer_.code;
    if (!constant_bytes_.empty()) {
      // The constants' bytes are loaded first, before W and the flags carry anything.
      CodeWriter loads(names_.core);
      for (const auto& [value, byte] : constant_bytes_) {
        loads.movlw(value);
        loads.movwf(view(Place{true, byte}), 0);
      }
      emitted.code.insert_front(loads.code);
    }
    emitted.instructions = static_cast<int>(emitted.code.size());
    emitted.temp_bytes = temp_bytes_;
    return emitted;
  }

 private:
  // --- Registers.

  Register& view(const Place& place) {
    auto& views = place.scratch ? temp_views_ : acc_views_;
    auto found = views.find(place.byte);
    if (found == views.end()) {
      Register reg(place.scratch ? names_.temp : names_.acc, 0, spec_.little_endian);
      reg.set_width(8, 0);
      reg.base = place.byte;
      found = views.emplace(place.byte, reg).first;
    }
    return found->second;
  }

  int new_temp_byte() { return temp_bytes_++; }

  // W += literal, setting C, DC and Z as addlw does. The baseline core has no addlw: each
  // constant is kept in a scratch byte of its own, loaded before the routine starts, and
  // added with addwf into W, which sets the flags alike in one instruction, so a skip leaves
  // it out as it would leave out addlw, and the comparisons keep their 4 cycles a bit.
  void add_literal(int literal) {
    if (!writer_.baseline()) {
      writer_.addlw(literal);
      return;
    }
    const int value = literal & 0xFF;
    auto found = constant_bytes_.find(value);
    if (found == constant_bytes_.end())
      found = constant_bytes_.emplace(value, new_temp_byte()).first;
    writer_.addwf_w(view(Place{true, found->second}), 0);
  }

  // The input byte that holds `bit`, or in the columns (`late`) its copy when a digit
  // overwrites it before the columns are done reading it.
  Place input_place(int bit, bool late = false) const {
    const auto copy = layout_.copies.find(bit / 8);
    if (late && copy != layout_.copies.end()) return Place{true, copy->second};
    return Place{false, input_byte(spec_, bit / 8)};
  }

  // The copies the columns read, made before anything is written.
  void copy_overwritten_inputs() {
    for (const auto& [index, byte] : layout_.copies) {
      writer_.movf_w(view(Place{false, input_byte(spec_, index)}), 0);
      writer_.movwf(view(Place{true, byte}), 0);
    }
  }

  const Chunk& chunk(int k, int c) const {
    return plan_.columns[static_cast<std::size_t>(k)].chunks[static_cast<std::size_t>(c)];
  }

  // --- Phase one: the scratch sums.

  void sum_scratch_terms();
  void sum_one_bit_terms();
  // The scratch sums that take `kind` `index` as a term, and its coefficient there.
  std::vector<std::pair<int, int>> scratch_consumers(SourceKind kind, int index) const;
  // Adds W times each coefficient into each byte; `copy` is a byte that holds W once the
  // first additions are done (-1 for none).
  void distribute_w(const std::vector<std::pair<int, int>>& into, int copy);
  void load_part(int p, bool late = false);
  // byte += coefficient * W, the first time byte = coefficient * W.
  void add_w_into(int byte, int coefficient);

  // --- Phase two: the columns.

  void normalise_column(int k);
  // W = the chunk's raw value (and the constant when `constant_loaded` comes back set).
  void load_chunk(int k, int c, bool& constant_loaded);
  void compare(int k, int c, const ChunkShape& shape);
  // W (a fresh chunk's remainder) plus the remainder left aside, b given up as a carry.
  void add_remainder_aside(int k, int c);
  void store_digit(int k);
  // Whether the column is one register as it is (and a constant), not split further (the top
  // column always); its place then.
  std::optional<Place> single_register(int k) const;

  const ColumnPlan& plan_;
  const DigitSpec& spec_;
  const DigitNames& names_;
  const PlanAnalysis& analysis_;
  DigitLayout layout_;
  CodeWriter writer_;
  std::map<int, Register> acc_views_;
  std::map<int, Register> temp_views_;
  // Scratch bytes taken: the layout's, then those the emission adds.
  int temp_bytes_ = 0;
  // Scratch bytes written so far (the first write of a sum is a store).
  std::set<int> touched_;
  // The scratch byte of a packed high digit on its way to its nibble; -1 until needed.
  int swap_byte_ = -1;
  // The scratch byte a fresh chunk leaves the remainder before it in; -1 until needed.
  int aside_byte_ = -1;
  // The scratch byte W is doubled through; -1 until needed.
  int double_byte_ = -1;
  // On the baseline core, the scratch byte of each constant added to W, by its value modulo
  // 256.
  std::map<int, int> constant_bytes_;
};

void DigitWriter::load_part(int p, bool late) {
  const InputPart& part = plan_.parts[static_cast<std::size_t>(p)];
  Register& byte = view(input_place(part.low, late));
  const int shift = part.low % 8;
  assert(shift == 0 || (shift == 4 && part.bits <= 4));
  // The input's bits above its width are zero: a field that reaches the byte's top (or the
  // input's) needs no mask.
  const int byte_top = std::min(8, spec_.input_bits - (part.low - shift));
  if (shift == 4) {
    writer_.swapf_w(byte, 0);
    writer_.andlw((1 << part.bits) - 1);
  } else {
    writer_.movf_w(byte, 0);
    if (part.bits < byte_top) writer_.andlw((1 << part.bits) - 1);
  }
}

void DigitWriter::add_w_into(int byte, int coefficient) {
  Register& reg = view(Place{true, byte});
  int left = coefficient > 0 ? coefficient : -coefficient;
  if (touched_.insert(byte).second) {
    if (coefficient > 0) {
      writer_.movwf(reg, 0);
      --left;
    } else {
      writer_.clrf(reg, 0);
    }
  }
  for (; left > 0; --left) coefficient > 0 ? writer_.addwf_f(reg, 0) : writer_.subwf_f(reg, 0);
}

std::vector<std::pair<int, int>> DigitWriter::scratch_consumers(SourceKind kind, int index) const {
  std::vector<std::pair<int, int>> into;
  for (int k = 0; k < spec_.count; ++k) {
    const auto& layouts = layout_.chunks[static_cast<std::size_t>(k)];
    for (std::size_t c = 0; c < layouts.size(); ++c) {
      const Chunk& ch = chunk(k, static_cast<int>(c));
      for (std::size_t t = 0; t < ch.terms.size(); ++t) {
        const ColumnTerm& term = ch.terms[t];
        const bool one_bit =
            kind == SourceKind::kPart && plan_.parts[static_cast<std::size_t>(index)].bits == 1;
        if (layouts[c].routes[t] == Route::kScratch && term.source.kind == kind &&
            term.source.index == index && !one_bit) {
          into.push_back({layouts[c].sum_byte, term.coefficient});
        }
      }
    }
  }
  return into;
}

void DigitWriter::distribute_w(const std::vector<std::pair<int, int>>& into, int copy) {
  // Each coefficient at once (|c| additions), or by its binary digits with W doubled between
  // them (one addition a set digit, and a doubling: addwf of a byte holding W, else through
  // a scratch byte); the shorter.
  int direct = 0;
  int binary = 0;
  int top = 0;
  for (const auto& [byte, coefficient] : into) {
    const int size = std::abs(coefficient);
    direct += size;
    binary += std::popcount(static_cast<unsigned>(size));
    top = std::max(top, static_cast<int>(std::bit_width(static_cast<unsigned>(size))) - 1);
  }
  binary += 2 * top - (copy >= 0 && top > 0 ? 1 : 0);
  if (direct <= binary) {
    for (const auto& [byte, coefficient] : into) add_w_into(byte, coefficient);
    return;
  }
  for (int j = 0; j <= top; ++j) {
    for (const auto& [byte, coefficient] : into) {
      if (((std::abs(coefficient) >> j) & 1) != 0) add_w_into(byte, coefficient > 0 ? 1 : -1);
    }
    if (j == top) break;
    if (j == 0 && copy >= 0) {
      writer_.addwf_w(view(Place{true, copy}), 0);
      continue;
    }
    if (double_byte_ < 0) double_byte_ = new_temp_byte();
    writer_.movwf(view(Place{true, double_byte_}), 0);
    writer_.addwf_w(view(Place{true, double_byte_}), 0);
  }
}

void DigitWriter::sum_scratch_terms() {
  // Each part once into W, then into every group and scratch sum that has it; a part alone in
  // its group has its copy there to double W with.
  for (std::size_t p = 0; p < plan_.parts.size(); ++p) {
    std::vector<std::pair<int, int>> into;
    int copy = -1;
    for (std::size_t g = 0; g < plan_.groups.size(); ++g) {
      for (const int member : plan_.groups[g].parts) {
        if (member != static_cast<int>(p)) continue;
        into.push_back({layout_.group_bytes[g], 1});
        if (plan_.groups[g].parts.size() == 1) copy = layout_.group_bytes[g];
      }
    }
    for (const auto& consumer : scratch_consumers(SourceKind::kPart, static_cast<int>(p))) {
      into.push_back(consumer);
    }
    if (into.empty()) continue;
    load_part(static_cast<int>(p));
    distribute_w(into, copy);
  }
  // Each group, and its half, into the sums that have them.
  for (std::size_t g = 0; g < plan_.groups.size(); ++g) {
    for (const SourceKind kind : {SourceKind::kGroup, SourceKind::kHalf}) {
      const std::vector<std::pair<int, int>> into = scratch_consumers(kind, static_cast<int>(g));
      if (into.empty()) continue;
      Register& group = view(Place{true, layout_.group_bytes[g]});
      if (kind == SourceKind::kGroup) {
        writer_.movf_w(group, 0);
      } else if (writer_.enhanced()) {
        writer_.lsrf_w(group, 0);
      } else {
        writer_.clrc();
        writer_.rrf_w(group, 0);
      }
      distribute_w(into, kind == SourceKind::kGroup ? layout_.group_bytes[g] : -1);
    }
  }
  sum_one_bit_terms();
}

void DigitWriter::sum_one_bit_terms() {
  // The one-bit parts that could not wait for their bit to be tested in the columns.
  for (int k = 0; k < spec_.count; ++k) {
    const auto& layouts = layout_.chunks[static_cast<std::size_t>(k)];
    for (std::size_t c = 0; c < layouts.size(); ++c) {
      const Chunk& ch = chunk(k, static_cast<int>(c));
      for (std::size_t t = 0; t < ch.terms.size(); ++t) {
        const ColumnTerm& term = ch.terms[t];
        if (layouts[c].routes[t] != Route::kScratch || term.source.kind != SourceKind::kPart ||
            plan_.parts[static_cast<std::size_t>(term.source.index)].bits != 1) {
          continue;
        }
        const int byte = layouts[c].sum_byte;
        if (touched_.insert(byte).second) writer_.clrf(view(Place{true, byte}), 0);
        const int low = plan_.parts[static_cast<std::size_t>(term.source.index)].low;
        writer_.movlw(term.coefficient);
        writer_.btfsc(view(input_place(low)), 0, low % 8);
        writer_.addwf_f(view(Place{true, byte}), 0);
      }
    }
  }
}

std::optional<Place> DigitWriter::single_register(int k) const {
  if (plan_.columns[static_cast<std::size_t>(k)].chunks.size() != 1) return std::nullopt;
  const ChunkShape& shape = analysis_.shapes[static_cast<std::size_t>(k)][0];
  for (const int bits : shape.level_bits) {
    if (bits > 0) return std::nullopt;
  }
  const Chunk& ch = chunk(k, 0);
  const auto& carries = analysis_.carries[static_cast<std::size_t>(k)];
  const ChunkLayout& layout = layout_.chunks[static_cast<std::size_t>(k)][0];
  if (carries.size() + ch.terms.size() != 1) return std::nullopt;
  if (carries.size() == 1) {
    return layout_.carries.at(
        CarryKey{carries[0].from_column, carries[0].from_chunk, carries[0].level});
  }
  if (layout.routes[0] == Route::kScratch) return Place{true, layout.sum_byte};
  if (layout.routes[0] == Route::kAdd) {
    return Place{true, layout_.group_bytes[static_cast<std::size_t>(ch.terms[0].source.index)]};
  }
  return std::nullopt;
}

void DigitWriter::load_chunk(int k, int c, bool& constant_loaded) {
  const Chunk& ch = chunk(k, c);
  const ChunkLayout& layout =
      layout_.chunks[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)];
  // W holds the remainder of the chunk before; a first or fresh chunk starts from its first
  // load.
  bool started = c > 0 && !ch.fresh;
  const auto add = [&](const Place& place) {
    started ? writer_.addwf_w(view(place), 0) : writer_.movf_w(view(place), 0);
    started = true;
  };
  for (std::size_t t = 0; t < ch.terms.size(); ++t) {
    if (layout.routes[t] != Route::kLoad) continue;
    load_part(ch.terms[t].source.index, true);
    started = true;
  }
  if (layout.sum_byte >= 0) add(Place{true, layout.sum_byte});
  for (std::size_t t = 0; t < ch.terms.size(); ++t) {
    if (layout.routes[t] == Route::kAdd) {
      add(Place{true, layout_.group_bytes[static_cast<std::size_t>(ch.terms[t].source.index)]});
    }
  }
  if (c == 0) {
    for (const Carry& carry : analysis_.carries[static_cast<std::size_t>(k)]) {
      add(layout_.carries.at(CarryKey{carry.from_column, carry.from_chunk, carry.level}));
    }
  }
  const ChunkShape& shape =
      analysis_.shapes[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)];
  constant_loaded = false;
  if (!started) {
    // Nothing to load: W starts as the constant, unless the first comparison takes it.
    writer_.movlw(shape.folded ? 0 : shape.constant);
    constant_loaded = !shape.folded;
  }
  for (std::size_t t = 0; t < ch.terms.size(); ++t) {
    if (layout.routes[t] != Route::kLiteral) continue;
    const Source& source = ch.terms[t].source;
    if (source.kind == SourceKind::kOdd) {
      writer_.btfsc(view(Place{true, layout_.group_bytes[static_cast<std::size_t>(source.index)]}),
                    0, 0);
    } else {
      const int low = plan_.parts[static_cast<std::size_t>(source.index)].low;
      writer_.btfsc(view(input_place(low, true)), 0, low % 8);
    }
    add_literal(ch.terms[t].coefficient);
  }
}

void DigitWriter::compare(int k, int c, const ChunkShape& shape) {
  bool first = true;
  for (int i = shape.levels; i >= 1; --i) {
    const int bits = shape.level_bits[static_cast<std::size_t>(i - 1)];
    if (bits == 0) continue;
    Register& quotient = view(layout_.carries.at(CarryKey{k, c, i}));
    writer_.clrf(quotient, 0);
    for (int j = bits - 1; j >= 0; --j) {
      const int value = comparison_value(spec_.base, i, j);
      add_literal(first && shape.folded ? shape.constant - value : -value);
      first = false;
      writer_.rlf_f(quotient, 0);
      writer_.btfss(quotient, 0, 0);
      add_literal(value);
    }
  }
}

void DigitWriter::add_remainder_aside(int k, int c) {
  Register& carry = view(layout_.carries.at(CarryKey{k, c, 0}));
  writer_.clrf(carry, 0);
  add_literal(-spec_.base);
  writer_.addwf_w(view(Place{true, aside_byte_}), 0);
  writer_.rlf_f(carry, 0);
  writer_.btfss(carry, 0, 0);
  add_literal(spec_.base);
}

void DigitWriter::store_digit(int k) {
  const DigitPlace place = digit_place(spec_, k);
  Register& digit = view(Place{false, place.byte});
  if (spec_.form == DigitForm::kAscii) add_literal('0');
  if (!place.high_nibble) {
    writer_.movwf(digit, 0);
    return;
  }
  if (swap_byte_ < 0) swap_byte_ = new_temp_byte();
  Register& swap = view(Place{true, swap_byte_});
  writer_.movwf(swap, 0);
  writer_.swapf_w(swap, 0);
  writer_.iorwf_f(digit, 0);
}

void DigitWriter::normalise_column(int k) {
  const auto chunks = static_cast<int>(plan_.columns[static_cast<std::size_t>(k)].chunks.size());
  {
    const DigitPlace place = digit_place(spec_, k);
    const int constant = chunk(k, 0).constant;
    if (const std::optional<Place> only = single_register(k)) {
      // The digit is a byte as it is, with the constant: in its own place already, or moved
      // there.
      if (!only->scratch && only->byte == place.byte) {
        const int added = constant + (spec_.form == DigitForm::kAscii ? '0' : 0);
        if (added != 0) {
          writer_.movlw(added);
          writer_.addwf_f(view(*only), 0);
        }
        return;
      }
      if (place.high_nibble && constant == 0) {
        writer_.swapf_w(view(*only), 0);
        writer_.iorwf_f(view(Place{false, place.byte}), 0);
        return;
      }
    }
  }
  for (int c = 0; c < chunks; ++c) {
    const ChunkShape& shape =
        analysis_.shapes[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)];
    const bool fresh = chunk(k, c).fresh;
    if (fresh) {
      if (aside_byte_ < 0) aside_byte_ = new_temp_byte();
      writer_.movwf(view(Place{true, aside_byte_}), 0);
    }
    bool constant_loaded = false;
    load_chunk(k, c, constant_loaded);
    if (!shape.folded && !constant_loaded && shape.constant != 0) add_literal(shape.constant);
    compare(k, c, shape);
    if (fresh) add_remainder_aside(k, c);
  }
  store_digit(k);
}

}  // namespace

EmittedDigits emit_plan(const ColumnPlan& plan, const DigitSpec& spec, const DigitNames& names) {
  return emit_plan(plan, spec, names, *analyze(plan, spec));
}

EmittedDigits emit_plan(const ColumnPlan& plan, const DigitSpec& spec, const DigitNames& names,
                        const PlanAnalysis& analysis) {
  // Input a digit overwrites too early: its terms summed beforehand, or the byte copied.
  EmittedDigits summed = DigitWriter(plan, spec, names, analysis, false).emit();
  EmittedDigits copied = DigitWriter(plan, spec, names, analysis, true).emit();
  return copied.instructions < summed.instructions ? copied : summed;
}

}  // namespace tarvek
