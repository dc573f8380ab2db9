#include "firmware/image_kinds.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr ImageKind kImageKinds[] = {
    {"main firmware", {100004001, 100007001, 100007002}, flash::kMainImage, flash::kMainHeader, 120, true},
    {"recovery firmware", {100004021, 100007021, 0}, flash::kRecoveryImage, flash::kRecoveryHeader, 32, false},
    {"loader image", {100007011, 100007012, 0}, flash::kLoaderImage, flash::kLoaderHeader, 2, false},
};

}  // namespace

const ImageKind* findImageKind(std::uint32_t typeCode) {
    if (typeCode == 0) return nullptr;
    for (const ImageKind& kind : kImageKinds) {
        if (std::find(kind.typeCodes.begin(), kind.typeCodes.end(), typeCode) != kind.typeCodes.end()) return &kind;
    }
    return nullptr;
}
