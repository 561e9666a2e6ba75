#include "history/compliance/catalogue.h"

#include "history/store/store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace vendrik::history {
namespace {

/// "mandatory 10, required 101, advisory 32" of the guidelines of `kind` ("Rule" or "Dir")
/// that `standard` holds in the edition of index `edition`.
std::string countsIn(const Standard& standard, std::size_t edition, const std::string& kind) {
    std::map<Category, int> counts;
    for (const Guideline& guideline : standard.guidelines) {
        if (guideline.added <= edition && guideline.id.starts_with(kind + " ")) {
            ++counts[guideline.categoryIn(edition)];
        }
    }
    std::string text;
    for (const Category category : {Category::mandatory, Category::required, Category::advisory}) {
        text += (text.empty() ? "" : ", ") + std::string(categoryName(category)) + " " +
                std::to_string(counts[category]);
    }
    return text;
}

// The counts that MISRA's documents give for each edition; the sources are named in the
// catalogue's data file.
TEST(Catalogue, HoldsEachEditionWithItsCountsPerCategory) {
    const Catalogue catalogue = builtInCatalogue();
    const Standard& c2012 = *catalogue.standard("MISRA C:2012");
    ASSERT_EQ(c2012.editions,
              (std::vector<std::string>{"MISRA C:2012", "Amendment 1", "MISRA C:2023"}));
    EXPECT_EQ(countsIn(c2012, 0, "Rule"), "mandatory 10, required 101, advisory 32");
    EXPECT_EQ(countsIn(c2012, 0, "Dir"), "mandatory 0, required 9, advisory 7");
    EXPECT_EQ(countsIn(c2012, 1, "Rule"), "mandatory 15, required 109, advisory 32");
    EXPECT_EQ(countsIn(c2012, 1, "Dir"), "mandatory 0, required 10, advisory 7");
    EXPECT_EQ(countsIn(c2012, 2, "Rule"), "mandatory 23, required 137, advisory 40");
    EXPECT_EQ(countsIn(c2012, 2, "Dir"), "mandatory 0, required 14, advisory 7");
    // A category that the newest edition changed is held with each edition.
    const Guideline& rule136 = *c2012.guideline("Rule 13.6");
    EXPECT_EQ(rule136.categoryIn(0), Category::mandatory);
    EXPECT_EQ(rule136.categoryIn(2), Category::required);
    EXPECT_EQ(c2012.guideline("Rule 21.17")->added, 1U);
    EXPECT_EQ(c2012.guideline("Rule 23.1")->added, 2U);
    // The analyser's spellings name the standard too.
    EXPECT_EQ(catalogue.standard("MISRA-C:2012"), &c2012);
    const Standard& c2004 = *catalogue.standard("MISRA-C:2004");
    EXPECT_EQ(c2004.name, "MISRA C:2004");
    EXPECT_EQ(countsIn(c2004, 0, "Rule"), "mandatory 0, required 122, advisory 20");
}

// Each list of a second, independent source agrees with the catalogue, except where the
// sources are known to disagree with each other; each of those is named here.
TEST(Catalogue, AgreesWithSecondSources) {
    const Catalogue catalogue = builtInCatalogue();
    std::ifstream file(std::string(VENDRIK_TEST_DATA) + "/catalogue/second_sources.csv");
    ASSERT_TRUE(file) << "tests/data/catalogue/second_sources.csv";
    const std::map<std::string, std::string> knownDisagreements = {
        // CodeQL's lists against Cppcheck's for MISRA C:2023
        {"codeql Rule 7.5", "required"},
        {"codeql Rule 21.12", "advisory"},
    };
    std::map<std::string, int> checked;
    std::vector<std::string> differing;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> fields;
        std::stringstream parts(line);
        for (std::string field; std::getline(parts, field, ',');) {
            fields.push_back(field);
        }
        ASSERT_EQ(fields.size(), 5U) << line;
        const auto& [source, name, editionName, id, category] =
            std::tie(fields[0], fields[1], fields[2], fields[3], fields[4]);
        const Standard* standard = catalogue.standard(name);
        ASSERT_NE(standard, nullptr) << line;
        const std::size_t edition = *standard->edition(editionName);
        const Guideline* guideline = standard->guideline(id);
        ASSERT_TRUE(guideline != nullptr && guideline->added <= edition) << line;
        const std::string held(categoryName(guideline->categoryIn(edition)));
        // The first edition's second source tells advisory from the rest only.
        const bool agrees =
            category == "mandatory or required" ? held != "advisory" : held == category;
        const auto known = knownDisagreements.find(source + " " + id);
        if (known != knownDisagreements.end()) {
            EXPECT_FALSE(agrees) << line << ": no longer a disagreement";
        } else if (!agrees) {
            differing.push_back(line + " (catalogue: " + held + ")");
        }
        ++checked[source + " " + editionName];
    }
    EXPECT_EQ(differing, std::vector<std::string>());
    // Each edition's whole list is checked; MISRA C:2004's second source lacks 8 rules.
    EXPECT_EQ(checked, (std::map<std::string, int>{{"codeql MISRA C:2023", 221},
                                                   {"cte MISRA C:2004", 134},
                                                   {"sonar MISRA C:2012", 159}}));
}

struct PartsCase {
    const char* reference;
    std::vector<ReferencePart> parts;
};

TEST(Catalogue, ReadsEveryPartOfAReference) {
    const std::vector<PartsCase> cases = {
        {"MISRA C:2012 Rule-17.7", {{"MISRA C:2012", "Rule 17.7"}}},
        {" MISRA C:2012 Dir-4.6", {{"MISRA C:2012", "Dir 4.6"}}},
        {"MISRA-C:2004 Rule-10.1", {{"MISRA-C:2004", "Rule 10.1"}}},
        {"MISRA C:2012 Rule-017.07", {{"MISRA C:2012", "Rule 17.7"}}},
        {"MISRA C:2012 Rule-8.4.1", {{"MISRA C:2012", "Rule 8.4"}}},
        {"MISRA C:2012  Rule-17.7", {{"MISRA C:2012", "Rule 17.7"}}},
        {"MISRA C:2012 Rule-17.7; MISRA C:2012 Rule-2.2",
         {{"MISRA C:2012", "Rule 17.7"}, {"MISRA C:2012", "Rule 2.2"}}},
        {"MISRA C:2012 Rule-8.4.1; MISRA-C:2004 Rule-8.8",
         {{"MISRA C:2012", "Rule 8.4"}, {"MISRA-C:2004", "Rule 8.8"}}},
        // A part without a standard of its own takes the one before it.
        {"MISRA C:2012 Rule-10.3, Rule-10.4",
         {{"MISRA C:2012", "Rule 10.3"}, {"MISRA C:2012", "Rule 10.4"}}},
        {"misra C:2012 Rule-17.7", {{"misra C:2012", "Rule 17.7"}}}, // the catalogue names none
        {"Rule-17.7", {}},
        {"MISRA C:2012 Rule-8", {}},
        {"MISRA C:2012 Rule 8.4", {}},
        {"MISRA C:2012 Rule-.4", {}},
        {"", {}},
    };
    for (const PartsCase& c : cases) {
        EXPECT_EQ(referenceParts(c.reference), c.parts) << c.reference;
    }
}

/// A file of `text` in a fresh folder, removed with the object.
struct CatalogueFile {
    explicit CatalogueFile(const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    ~CatalogueFile() { std::filesystem::remove(path); }
    std::string path =
        std::filesystem::temp_directory_path() /
        ("vendrik-catalogue-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         ".yaml");
};

TEST(Catalogue, TakesAProjectsStandardsAndTexts) {
    Catalogue catalogue = builtInCatalogue();
    const CatalogueFile file(R"(standards:
  - standard: "ACME:2026"
    guidelines:
      - {guideline: "Rule 1.1", category: required}
      - {guideline: "Dir 1.1", category: advisory}
  - standard: "MISRA C:2012"
    guidelines:
      - {guideline: "Rule 17.7", text: "our words for it"}
)");
    const PlanFile read = addCatalogueFile(catalogue, file.path);
    EXPECT_EQ(read.sha256.size(), 64U);
    const Standard& acme = *catalogue.standard("ACME:2026");
    EXPECT_EQ(acme.editions, std::vector<std::string>{"ACME:2026"});
    EXPECT_EQ(acme.guideline("Dir 1.1")->categoryIn(0), Category::advisory);
    EXPECT_EQ(catalogue.standard("MISRA C:2012")->guideline("Rule 17.7")->text, "our words for it");
}

TEST(Catalogue, RefusesABadFileNamingTheLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"standards:\n  - standard: \"MISRA C:2012\"\n    guidelines:\n"
         "      - {guideline: \"Rule 17.7\", category: advisory}\n",
         ":4: Rule 17.7: its category differs from the one MISRA C:2012 gives it (required)"},
        {"standards:\n  - standard: \"MISRA C:2012\"\n    guidelines:\n"
         "      - {guideline: \"Rule 99.1\", text: x}\n",
         ":4: MISRA C:2012 has no Rule 99.1"},
        {"standards:\n  - standard: X\n    guidelines:\n      - {guideline: \"Rule 1\", category: "
         "required}\n",
         ":4: guideline: 'Rule 1' is not written \"Rule N.M\" or \"Dir N.M\""},
        {"standards:\n  - standard: X\n    guidelines:\n      - {guideline: \"Rule 1.1\", "
         "category: high}\n",
         ":4: category: 'high' is none of mandatory, required, advisory"},
        {"standards:\n  - standard: X\n    colour: red\n    guidelines: []\n",
         ":3: unknown key 'colour'"},
        {"standards:\n  - standard: X\n    guidelines:\n      - {guideline: \"Rule 1.1\", "
         "category: required}\n"
         "      - {guideline: \"Rule 1.1\", category: required}\n",
         ":5: Rule 1.1 is given twice"},
        {"standards: [\n", ":2: "},
    };
    for (const auto& [text, message] : cases) {
        Catalogue catalogue = builtInCatalogue();
        const CatalogueFile file(text);
        try {
            addCatalogueFile(catalogue, file.path);
            ADD_FAILURE() << "taken: " << text;
        } catch (const StoreError& error) {
            EXPECT_NE(std::string(error.what()).find(file.path + message), std::string::npos)
                << error.what();
        }
    }
}

} // namespace
} // namespace vendrik::history
