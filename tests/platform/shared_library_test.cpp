#include "platform/shared_library.hpp"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vx::platform {
namespace {

// Where the loader found `soname` in this process.
std::string LibraryPath(const char* soname) {
  void* handle = ::dlopen(soname, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) handle = ::dlopen(soname, RTLD_NOW);
  link_map* map = nullptr;
  if (handle == nullptr || ::dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return {};
  return map->l_name;
}

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

// A library carried as bytes (as the window layer is inside the executable)
// opens like one on disk.
TEST(SharedLibrary, OpensALibraryFromItsImageInMemory) {
  std::ifstream file(LibraryPath("libm.so.6"), std::ios::binary);
  ASSERT_TRUE(file) << "libm.so.6 not found";
  const std::vector<unsigned char> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const auto library = SharedLibrary::FromImage(image, "vexmora-test");
  ASSERT_TRUE(library->Loaded()) << library->Error();
  double (*square_root)(double) = nullptr;
  ASSERT_TRUE(library->Bind("sqrt", &square_root));
  EXPECT_DOUBLE_EQ(square_root(16.0), 4.0);

  const std::vector<unsigned char> garbage(4096, 0x5A);
  const auto refused = SharedLibrary::FromImage(garbage, "vexmora-garbage");
  EXPECT_FALSE(refused->Loaded());
  EXPECT_FALSE(refused->Error().empty());
}

}  // namespace
}  // namespace vx::platform
