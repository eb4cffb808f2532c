#include "platform/shared_library.hpp"

#include <gtest/gtest.h>

namespace vx::platform {
namespace {

TEST(SharedLibrary, BindsFunctionsOfAnOpenedLibraryAndReportsWhatIsMissing) {
  SharedLibrary library("libm.so.6");
  ASSERT_TRUE(library.Loaded()) << library.Error();
  double (*cosine)(double) = nullptr;
  ASSERT_TRUE(library.Bind("cos", &cosine));
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);

  void (*missing)() = nullptr;
  EXPECT_FALSE(library.Bind("no_such_function_here", &missing));
  EXPECT_EQ(missing, nullptr);
  EXPECT_NE(library.Error().find("no_such_function_here"), std::string::npos);
}

TEST(SharedLibrary, AMissingLibraryIsReportedNotFatal) {
  SharedLibrary library("libvexmora-no-such-library.so.9");
  EXPECT_FALSE(library.Loaded());
  EXPECT_NE(library.Error().find("libvexmora-no-such-library.so.9"), std::string::npos);
  int (*anything)() = nullptr;
  EXPECT_FALSE(library.Bind("anything", &anything));
}

TEST(SharedLibrary, AResidentLibraryIsOpenedOnce) {
  SharedLibrary& first = SharedLibrary::Resident("libm.so.6");
  SharedLibrary& again = SharedLibrary::Resident("libm.so.6");
  EXPECT_EQ(&first, &again);
  EXPECT_TRUE(first.Loaded());
}

}  // namespace
}  // namespace vx::platform
