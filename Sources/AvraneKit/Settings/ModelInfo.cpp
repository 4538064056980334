#include "AvraneKit/Settings/ModelInfo.h"

#include <cstdio>

namespace avrane {
namespace {

struct ModelRow {
    ModelInfo::Model model;
    std::string_view deviceName;
    std::string_view modelCode;
};

// The headset models the dongle reports, in raw order.
constexpr std::array<ModelRow, 8> models{{
    {ModelInfo::Model::hdx2959, "AVRANE H9", "HDX-2959"},
    {ModelInfo::Model::hdx2960, "AVRANE H7", "HDX-2960"},
    {ModelInfo::Model::hdx2961, "AVRANE H3", "HDX-2961"},
    {ModelInfo::Model::ghM2, "AVRANE H5", "YY2976"},
    {ModelInfo::Model::gtw, "AVRANE Buds", "YY2977"},
    {ModelInfo::Model::ghH2, "AVRANE H9 II", "YY2987"},
    {ModelInfo::Model::ghIE, "AVRANE E9", "YY2989"},
    {ModelInfo::Model::ghOB, "AVRANE H6 Air", "YY2990"},
}};

static_assert([] {
    for (std::size_t i = 0; i < models.size(); ++i) {
        if (rawValue(models[i].model) != i) return false;
    }
    return true;
}(), "rows are indexed by raw value");

const ModelRow& row(ModelInfo::Model model) {
    return models[rawValue(model)];
}

}  // namespace

std::string_view deviceName(ModelInfo::Model model) { return row(model).deviceName; }
std::string_view modelCode(ModelInfo::Model model) { return row(model).modelCode; }

std::optional<ModelInfo> ModelInfo::decode(ByteView param) {
    if (param.size() < 6) return std::nullopt;
    return ModelInfo{
        .modelID = param[0],
        .destination = param[1],
        .serialNumber = static_cast<std::uint16_t>(param[2] | (param[3] << 8)),
        .colorCode = param[4],
        .statusCode = param[5],
    };
}

std::optional<ModelInfo::Model> ModelInfo::model() const {
    return fromRaw<Model>(modelID);
}

std::string ModelInfo::deviceName() const {
    if (const auto m = model()) return std::string(avrane::deviceName(*m));
    char text[32];
    std::snprintf(text, sizeof text, "unknown model 0x%02X", unsigned{modelID});
    return text;
}

std::string ModelInfo::modelCode() const {
    if (const auto m = model()) return std::string(avrane::modelCode(*m));
    return "-";
}

}  // namespace avrane
