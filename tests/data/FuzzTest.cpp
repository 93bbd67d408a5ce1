// Fixed-seed random input for the settings loader and the evaluator: neither
// may crash or trip a sanitizer, and the loader's report must match what it
// changed.
#include "data/DataContainer.h"
#include "data/Mathematics.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>

namespace {

std::vector<std::uint32_t> blockOf(CDerivedDataContainer& store, std::int32_t key)
{
    store.SelectContainer(key);
    std::vector<std::uint32_t> out;
    for (int i = 0; i < 256; ++i) {
        out.push_back(store.GetValue(i));
    }
    return out;
}

TEST(Fuzz, SettingsLoaderOnRandomBytes)
{
    std::mt19937 rng(20240611);
    const auto& keys = devdefaults::kDeviceKeys;
    for (int round = 0; round < 300; ++round) {
        // Half the inputs start with real keys so that the loader gets past
        // the first record; the rest is noise of random length.
        std::vector<std::uint8_t> bytes;
        const int records = static_cast<int>(rng() % 4);
        std::set<std::int32_t> mentioned;
        for (int r = 0; r < records && round % 2 == 0; ++r) {
            const std::int32_t key = keys[rng() % keys.size()];
            mentioned.insert(key);
            devdefaults::Block words;
            for (auto& w : words) {
                w = static_cast<std::uint32_t>(rng());
            }
            settingsfile::AppendRecord(bytes, key, words);
        }
        const std::size_t noise = rng() % 2100;
        for (std::size_t i = 0; i < noise; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(rng()));
        }
        if (!bytes.empty() && rng() % 3 == 0) {
            bytes.resize(rng() % bytes.size());
        }
        for (std::size_t at = 0; at + 4 <= bytes.size(); at += 1028) {
            mentioned.insert(settingsfile::ReadKey(bytes.data() + at));
        }

        CDerivedDataContainer store;
        std::vector<std::vector<std::uint32_t>> before;
        for (const std::int32_t key : keys) {
            before.push_back(blockOf(store, key));
        }
        store.SelectContainer(0x200);
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        const SettingsFileReport report = store.LoadFromStream(in);

        ASSERT_GE(report.records, 0);
        ASSERT_LE(static_cast<std::size_t>(report.records) * 1028, bytes.size());
        ASSERT_EQ(store.GetSelectedId(), 0x200);
        if (report.ok()) {
            ASSERT_EQ(bytes.size() % 1028, 0u);
            ASSERT_EQ(report.offset, bytes.size());
        } else {
            ASSERT_FALSE(report.message.empty());
        }
        // Devices that no record names keep their words.
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (mentioned.count(keys[i]) == 0) {
                ASSERT_EQ(blockOf(store, keys[i]), before[i]) << "round " << round;
            }
        }
    }
}

TEST(Fuzz, EvaluatorOnRandomTokenLists)
{
    const std::vector<std::string> pool = {
        "%p", "%tp", "(%p", "%p)", "(", ")", "*", "/", "%", "+", "-", "<<", ">>", "<", ">", "<=", ">=", "==",
        "!=", "&", "^", "|", "&&", "||", "0", "-0", "1", "-1", "7", "0.5", "1e308", "-1e308", "1e-320", "inf",
        "-inf", "nan", "0x1F", "9223372036854775808", "-9223372036854775809", "", " ", "(((", ")))", "abc",
        "1)", "(2", "%", "%%", "1e", "--5", "+-3",
    };
    std::mt19937 rng(77);
    std::uniform_real_distribution<double> variable(-1e12, 1e12);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::string> tokens;
        const std::size_t count = rng() % 12;
        for (std::size_t i = 0; i < count; ++i) {
            if (rng() % 10 == 0) {
                std::string junk(rng() % 6, '\0');
                for (char& c : junk) {
                    c = static_cast<char>(rng());
                }
                tokens.push_back(junk);
            } else {
                tokens.push_back(pool[rng() % pool.size()]);
            }
        }
        CDerivedMathematics m;
        ASSERT_EQ(m.ParseTokens(tokens), 1);
        for (const double v : {0.0, variable(rng), std::numeric_limits<double>::infinity(), std::nan("")}) {
            m.SetVariable(v);
            (void)m.Evaluate();
        }
    }
}

}  // namespace
