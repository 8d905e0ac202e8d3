// lkm::importedLoaderNames over synthetic images: which DLL names count, and
// that nothing it cannot read makes it fail or drop what it could read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lkm/loader_names.hpp"
#include "pe_builder.hpp"

namespace {

using Bytes = std::vector<uint8_t>;
using Dlls = std::vector<lkm::test::ImportSpec>;

constexpr uint32_t length = 0x8000, directory = 0x200;

void w32(Bytes& b, uint32_t offset, uint32_t value) {
    for (uint32_t i = 0; i < 4; ++i) b.at(offset + i) = uint8_t(value >> (8 * i));
}

struct Case {
    const char* name;
    Dlls dlls;
    std::function<void(Bytes&)> edit; // of the built image
    std::vector<std::string> expected;
};

TEST(LoaderNames, ListsTheLoaderNamesAmongTheImportedDlls) {
    const auto set = [](uint32_t at, uint32_t value) { return [=](Bytes& b) { w32(b, at, value); }; };
    const Dlls two = {{"winmm.dll", {}}, {"ddraw.dll", {}}};
    Dlls many(512, {"a.dll", {}});
    many.push_back({"dsound.dll", {}});
    const Case cases[] = {
        {"by name", {{"KERNEL32.dll", {"Sleep"}}, {"winmm.dll", {"timeGetTime"}}}, {}, {"winmm"}},
        {"only by ordinal", {{"dinput8.dll", {"#1"}}, {"d3d9.dll", {}}}, {}, {"dinput8", "d3d9"}},
        {"another case", {{"D3D11.DLL", {"#3"}}, {"XInput1_3.Dll", {"f"}}}, {}, {"d3d11", "xinput1_3"}},
        {"without .dll",
         {{"dsound", {"#1"}}, {"DDRAW", {"f"}}, {"d3d8", {}}},
         {},
         {"d3d8", "ddraw", "dsound"}},
        {"each once", {{"version.dll", {}}, {"VERSION", {}}, {"dinput.dll", {}}}, {}, {"dinput", "version"}},
        {"none", {{"KERNEL32.dll", {"Sleep"}}, {"LarkEngine.dll", {"#12"}}}, {}, {}},
        {"near names",
         {{"winmm.dll.dll", {}}, {"dinput8x.dll", {}}, {"xinput1_4.dll", {}}, {"d3d9.exe", {}}},
         {},
         {}},
        {"a DLL name past the image end", two, set(directory + 12, length), {"ddraw"}},
        {"a DLL name ending at the image end",
         two,
         [](Bytes& b) {
             w32(b, length - 4, 0x39643364); // "d3d9", with no terminator
             w32(b, directory + 20 + 12, length - 4);
         },
         {"winmm"}},
        {"no name table (the image model refuses it)", {{"winmm.dll", {"f"}}}, set(directory, 0), {"winmm"}},
        {"the directory cut off by the image end",
         two,
         [](Bytes& b) {
             std::copy(b.begin() + directory, b.begin() + directory + 20, b.end() - 20);
             w32(b, lkm::test::importDirectoryField, length - 20);
         },
         {"winmm"}},
        {"past the 512th descriptor", many, {}, {}},
        {"no import directory", two, set(lkm::test::importDirectoryField, 0), {}},
    };
    for (const Case& c : cases) {
        lkm::test::PeBuilder pe(length);
        Bytes bytes =
            pe.section(".text", 0x1000, 0x1000, lkm::test::codeSection).imports(directory, c.dlls).build();
        if (c.edit) c.edit(bytes);
        EXPECT_EQ(lkm::importedLoaderNames(lkm::ImageBytes(bytes)), c.expected) << c.name;
    }
}

} // namespace
