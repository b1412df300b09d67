// Stage registry of the demo: stages register themselves from their files.
#include <algorithm>

#include "demo.h"

namespace demo {
namespace {

std::vector<Stage>& stages() {
    static std::vector<Stage> list;
    return list;
}

int folderRank(const std::string& folder) {
    static const char* const order[] = {"core", "stats", "filter", "feature", "morph",
                                        "region", "pyramid", "objdetect", "geometry"};
    for (int i = 0; i < 9; ++i)
        if (folder == order[i]) return i;
    return 9;
}

}  // namespace

StageRegistrar::StageRegistrar(const char* folder, const char* name, const char* title, StageFn fn) {
    auto& list = stages();
    list.push_back(Stage{folder, name, title, fn, static_cast<int>(list.size())});
}

std::vector<Stage> registeredStages() {
    std::vector<Stage> list = stages();
    std::stable_sort(list.begin(), list.end(), [](const Stage& a, const Stage& b) {
        const int ra = folderRank(a.folder), rb = folderRank(b.folder);
        return ra != rb ? ra < rb : a.sequence < b.sequence;
    });
    return list;
}

}  // namespace demo
