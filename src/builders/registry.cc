#include <array>
#include <cstddef>

#include "builders/builder.h"
#include "records/layouts.h"

namespace varnoklis {

namespace {

// In the order of the layouts.
constexpr std::array<BuildFunction, 5> kBuildFunctions = {
    build_qzdnl17p, build_qzdnl18p, build_qzdnl31p, build_qzdnl60p, build_idstamm};

std::array<Builder, kBuildFunctions.size()> make_builders() {
  std::array<Builder, kBuildFunctions.size()> builders{};
  for (std::size_t i = 0; i < builders.size(); ++i) {
    const records::Layout& layout = records::all_layouts()[i];
    builders[i] = {layout.keyword, layout.record_length, layout.line_end, kBuildFunctions[i]};
  }
  return builders;
}

}  // namespace

const Builder* find_builder(std::string_view keyword) {
  static const std::array<Builder, kBuildFunctions.size()> kBuilders = make_builders();
  for (const Builder& builder : kBuilders) {
    if (builder.keyword == keyword) return &builder;
  }
  return nullptr;
}

}  // namespace varnoklis
