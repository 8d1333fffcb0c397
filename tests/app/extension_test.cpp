// Whole-word matching of extension names in an extension string.
#include <gtest/gtest.h>

#include "app/gl_context.h"

namespace {

TEST(ExtensionList, MatchesWholeSpaceSeparatedWordsOnly) {
  const char* list = "GL_ARB_multitexture GL_ARB_texture_cube_map GL_EXT_separate_specular_color";
  const struct {
    const char* list;
    const char* name;
    bool has;
  } rows[] = {
      {list, "GL_ARB_multitexture", true},
      {list, "GL_ARB_texture_cube_map", true},
      {list, "GL_EXT_separate_specular_color", true},
      {"GL_A GL_B ", "GL_B", true},
      {"GL_A  GL_B", "GL_B", true},  // repeated spaces
      {" GL_A", "GL_A", true},
      {"GL_A", "GL_A", true},
      // The beginning or the end of a longer word.
      {"GL_ARB_multitexture_plus GL_X", "GL_ARB_multitexture", false},
      {"GL_X GL_ARB_multitexture2", "GL_ARB_multitexture", false},
      {"GL_ARB_multitexture", "GL_ARB_multi", false},
      {"XGL_ARB_multitexture", "GL_ARB_multitexture", false},
      {"GL_A WGL_ARB_multitexture", "GL_ARB_multitexture", false},
      {"GL_A", "GL_A GL_B", false},  // a name longer than the whole list
      {nullptr, "GL_ARB_multitexture", false},
      {"", "GL_ARB_multitexture", false},
      {"GL_A", nullptr, false},
  };
  for (const auto& r : rows)
    EXPECT_EQ(app::extensionListHas(r.list, r.name), r.has)
        << (r.list ? r.list : "(null)") << " / " << (r.name ? r.name : "(null)");
}

}  // namespace
