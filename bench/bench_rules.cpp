// The new-name computation over a realistic mix of names with every rule on, and the wildcard
// matcher alone. Goal: at least 2,000,000 names per second with every rule on.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "rules/mask.h"
#include "rules/new_name.h"
#include "rules/text.h"

namespace {

using namespace zr;

std::vector<std::string> mixedNames(int count) {
    const char* patterns[] = {
        "IMG_%04d.JPG",           "DSC%05d.jpg",       "Příliš žluťoučký kůň %d.png",
        "holiday-%d copy.jpg",    "scan_%d small.PNG", "document %d.pdf",
        "Výlet na Šumavu %d.jpg", "P%07d.JPG",         "screenshot #%d.png",
        "notes-%d.txt",
    };
    std::vector<std::string> names;
    names.reserve(count);
    char buffer[128];
    for (int i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer, patterns[i % 10], i);
        names.emplace_back(buffer);
    }
    return names;
}

void everyRuleOn(RenameSettings& s) {
    s.setText(Option::Edit3, "*.jpg;*.JPG;*.png");
    s.setChecked(Option::CheckBox5, true);
    s.setText(Option::Edit5, " copy; small");
    s.setChecked(Option::CheckBox10, true);
    s.setText(Option::Edit8, "#_");
    s.setChecked(Option::CheckBox16, true);
    s.setText(Option::Edit9, "IMG;DSC");
    s.setText(Option::Edit10, "photo;camera");
    s.setChecked(Option::CheckBox4, true);
    s.setItemIndex(kLowerCase);
    s.setChecked(Option::CheckBox6, true);
    s.setChecked(Option::CheckBox9, true);
    s.setText(Option::Edit6, kDefaultConvertFrom);
    s.setText(Option::Edit7, kDefaultConvertTo);
    s.setChecked(Option::CheckBox2, true);
    s.setText(Option::Edit2, "2026-");
    s.setChecked(Option::CheckBox3, true);
    s.setText(Option::Edit4, "_th");
}

void BM_ComputeNewNamePreview(benchmark::State& bench) {
    const std::vector<std::string> names = mixedNames(10000);
    RenameSettings settings;
    everyRuleOn(settings);
    ParsedLists lists;
    ParseOptionLists(settings, lists);
    RuleState state;
    state.PreviewMode = true;
    NewNameComputer computer(settings, lists, state);
    for (auto _ : bench) {
        for (const std::string& name : names)
            computer.ComputeNewName("/home/ann/Photos/2026/Summer", name);
        benchmark::DoNotOptimize(state.PreviewCount);
    }
    bench.SetItemsProcessed(bench.iterations() * static_cast<int64_t>(names.size()));
}
BENCHMARK(BM_ComputeNewNamePreview);

void BM_ComputeNewNameGo(benchmark::State& bench) {
    const std::vector<std::string> names = mixedNames(10000);
    RenameSettings settings;
    everyRuleOn(settings);
    ParsedLists lists;
    ParseOptionLists(settings, lists);
    RuleState state;
    NewNameComputer computer(settings, lists, state);
    for (auto _ : bench) {
        state.Journal.clear();
        state.JournalCount = 0;
        for (const std::string& name : names)
            computer.ComputeNewName("/home/ann/Photos/2026/Summer", name);
        benchmark::DoNotOptimize(state.JournalCount);
    }
    bench.SetItemsProcessed(bench.iterations() * static_cast<int64_t>(names.size()));
}
BENCHMARK(BM_ComputeNewNameGo);

void BM_MaskMatch(benchmark::State& bench) {
    std::vector<std::u32string> names;
    for (const std::string& n : mixedNames(10000))
        names.push_back(toCodePoints(n));
    TMask masks[3];
    int position = 0;
    masks[0].compile(U"*.jpg", position);
    masks[1].compile(U"*.JPG", position);
    masks[2].compile(U"*.png", position);
    for (auto _ : bench) {
        int matched = 0;
        for (const std::u32string& name : names) {
            for (const TMask& m : masks)
                matched += m.matches(name);
        }
        benchmark::DoNotOptimize(matched);
    }
    bench.SetItemsProcessed(bench.iterations() * static_cast<int64_t>(names.size()));
}
BENCHMARK(BM_MaskMatch);

}  // namespace

BENCHMARK_MAIN();
