#include "digits/digit_layout.h"

#include <algorithm>
#include <set>

namespace tarvek {
namespace {

class LayoutBuilder {
 public:
  LayoutBuilder(const ColumnPlan& plan, const DigitSpec& spec, const PlanAnalysis& analysis,
                bool copy_inputs)
      : plan_(plan), spec_(spec), analysis_(analysis), copy_inputs_(copy_inputs) {}

  DigitLayout take() {
    build();
    return std::move(layout_);
  }

 private:
  void build();
  Route route_of(const ColumnTerm& term, int c, bool& loaded, const std::set<int>& written);
  void place_carries(int k, int c, std::set<int>& written, std::vector<bool>& digit_taken);

  int new_temp_byte() { return layout_.temp_bytes++; }

  const Chunk& chunk(int k, int c) const {
    return plan_.columns[static_cast<std::size_t>(k)].chunks[static_cast<std::size_t>(c)];
  }

  const ColumnPlan& plan_;
  const DigitSpec& spec_;
  const PlanAnalysis& analysis_;
  bool copy_inputs_;
  DigitLayout layout_;
  // Whether the chunk being laid out is fresh.
  bool chunk_fresh_ = false;
};

}  // namespace

bool in_group(const ColumnPlan& plan, int p) {
  for (const Group& group : plan.groups) {
    for (const int member : group.parts) {
      if (member == p) return true;
    }
  }
  return false;
}

namespace {

Route LayoutBuilder::route_of(const ColumnTerm& term, int c, bool& loaded,
                              const std::set<int>& written) {
  const Source& source = term.source;
  if (source.kind == SourceKind::kOdd) return Route::kLiteral;
  if (source.kind == SourceKind::kGroup && term.coefficient == 1) return Route::kAdd;
  if (source.kind != SourceKind::kPart) return Route::kScratch;
  const InputPart& part = plan_.parts[static_cast<std::size_t>(source.index)];
  bool intact = written.count(input_byte(spec_, part.low / 8)) == 0;
  if (!intact && copy_inputs_) {
    // Read from a copy made before anything is written.
    if (layout_.copies.count(part.low / 8) == 0) layout_.copies[part.low / 8] = new_temp_byte();
    intact = true;
  }
  if (part.bits == 1) return intact ? Route::kLiteral : Route::kScratch;
  // A part loaded for a group anyway is added to the scratch sum while it is in W.
  const bool starts = c == 0 || chunk_fresh_;
  if (starts && !loaded && term.coefficient == 1 && intact && !in_group(plan_, source.index)) {
    loaded = true;
    return Route::kLoad;
  }
  return Route::kScratch;
}

void LayoutBuilder::place_carries(int k, int c, std::set<int>& written,
                                  std::vector<bool>& digit_taken) {
  const bool packed = spec_.form == DigitForm::kPacked;
  // The levels from the top, then the carry of a fresh chunk's two remainders (level 0).
  for (int i = chunk(k, c).levels; i >= 0; --i) {
    const int64_t q_high =
        i == 0 ? (chunk(k, c).fresh ? 1 : 0)
               : analysis_.shapes[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)]
                     .quotients[static_cast<std::size_t>(i - 1)]
                     .second;
    if (q_high == 0) continue;
    const int j = k + std::max(i, 1);
    // A digit's own byte holds one carry into it; a packed byte only when it holds the top
    // digit alone.
    const bool alone = !packed || (j == spec_.count - 1 && spec_.count % 2 == 1);
    Place place{true, 0};
    if (alone && !digit_taken[static_cast<std::size_t>(j)]) {
      digit_taken[static_cast<std::size_t>(j)] = true;
      place = Place{false, digit_place(spec_, j).byte};
      written.insert(place.byte);
    } else {
      place.byte = new_temp_byte();
    }
    layout_.carries[CarryKey{k, c, i}] = place;
  }
}

void LayoutBuilder::build() {
  for (const Group& group : plan_.groups) {
    (void)group;
    layout_.group_bytes.push_back(new_temp_byte());
  }
  // The accumulator bytes written so far, in the order of the columns: a part can be read
  // from the input only while its byte is unwritten.
  std::set<int> written;
  std::vector<bool> digit_taken(static_cast<std::size_t>(spec_.count), false);
  layout_.chunks.resize(plan_.columns.size());
  for (int k = 0; k < spec_.count; ++k) {
    const auto chunks = static_cast<int>(plan_.columns[static_cast<std::size_t>(k)].chunks.size());
    for (int c = 0; c < chunks; ++c) {
      ChunkLayout layout;
      bool loaded = false;
      chunk_fresh_ = chunk(k, c).fresh;
      for (const ColumnTerm& term : chunk(k, c).terms) {
        layout.routes.push_back(route_of(term, c, loaded, written));
        if (layout.routes.back() == Route::kScratch && layout.sum_byte < 0) {
          layout.sum_byte = new_temp_byte();
        }
      }
      layout_.chunks[static_cast<std::size_t>(k)].push_back(layout);
      place_carries(k, c, written, digit_taken);
    }
    written.insert(digit_place(spec_, k).byte);
  }
}

}  // namespace

DigitLayout lay_out(const ColumnPlan& plan, const DigitSpec& spec, const PlanAnalysis& analysis,
                    bool copy_inputs) {
  return LayoutBuilder(plan, spec, analysis, copy_inputs).take();
}

}  // namespace tarvek
