// Whole-word matching of extension names in an extension string.
#include <gtest/gtest.h>

#include "app/gl_context.h"

namespace {

using app::extensionListHas;

TEST(ExtensionList, FindsAWholeWordAnywhereInTheList) {
  const char* list = "GL_ARB_multitexture GL_ARB_texture_cube_map GL_EXT_separate_specular_color";
  EXPECT_TRUE(extensionListHas(list, "GL_ARB_multitexture"));
  EXPECT_TRUE(extensionListHas(list, "GL_ARB_texture_cube_map"));
  EXPECT_TRUE(extensionListHas(list, "GL_EXT_separate_specular_color"));
  EXPECT_TRUE(extensionListHas("GL_A GL_B ", "GL_B"));
}

TEST(ExtensionList, ABeginningOfALongerNameDoesNotMatch) {
  EXPECT_FALSE(extensionListHas("GL_ARB_multitexture_plus GL_X", "GL_ARB_multitexture"));
  EXPECT_FALSE(extensionListHas("GL_X GL_ARB_multitexture2", "GL_ARB_multitexture"));
  EXPECT_FALSE(extensionListHas("GL_ARB_multitexture", "GL_ARB_multi"));
}

TEST(ExtensionList, AnEndOfALongerNameDoesNotMatch) {
  EXPECT_FALSE(extensionListHas("XGL_ARB_multitexture", "GL_ARB_multitexture"));
  EXPECT_FALSE(extensionListHas("GL_A WGL_ARB_multitexture", "GL_ARB_multitexture"));
}

TEST(ExtensionList, RepeatedSpacesAreSkipped) {
  EXPECT_TRUE(extensionListHas("GL_A  GL_B", "GL_B"));
  EXPECT_TRUE(extensionListHas(" GL_A", "GL_A"));
}

TEST(ExtensionList, NoListOrAnEmptyOneHasNothing) {
  EXPECT_FALSE(extensionListHas(nullptr, "GL_ARB_multitexture"));
  EXPECT_FALSE(extensionListHas("", "GL_ARB_multitexture"));
  EXPECT_FALSE(extensionListHas("GL_A", nullptr));
}

TEST(ExtensionList, ANameOfTheWholeListLengthMatchesOnlyItself) {
  EXPECT_TRUE(extensionListHas("GL_A", "GL_A"));
  EXPECT_FALSE(extensionListHas("GL_A", "GL_A GL_B"));
}

}  // namespace
