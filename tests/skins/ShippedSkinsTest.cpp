// The three skins shipped in resources/Skins: each loads, and their names
// make the cycle case, dark, limited, case work.
#include <gtest/gtest.h>

#include <string>

#include "skins/SkinPack.h"

namespace vrelbazzit::test {
namespace {

bool Contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

TEST(ShippedSkins, LoadAndNameTheCycle) {
  const struct {
    const char* folder;
    bool dark, limited;  // must the name contain "Dark", "Limited"
  } skins[] = {
      {"VrelBazzitCase", false, false},
      {"VrelBazzitDark", true, false},
      {"VrelBazzitLimited", false, true},
  };
  for (const auto& s : skins) {
    const std::string path = std::string(VB_SHIPPED_SKINS_DIR) + "/" + s.folder + "/skin.vbskin";
    SkinPack pack;
    std::string error;
    ASSERT_TRUE(LoadSkinPack(path.c_str(), pack, error)) << s.folder << ": " << error;
    EXPECT_EQ(Contains(pack.name, "Dark"), s.dark) << s.folder << " is named " << pack.name;
    EXPECT_EQ(Contains(pack.name, "Limited"), s.limited) << s.folder << " is named " << pack.name;
  }
}

}  // namespace
}  // namespace vrelbazzit::test
