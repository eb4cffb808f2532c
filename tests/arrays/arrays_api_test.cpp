// The array family through the dispatcher: numeric and string arrays, the
// FIFO, SortList, SpRays and variables by name with their files.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "api/api_test_support.hpp"
#include "engine/system_variables.hpp"
#include "support/temp_folder.hpp"

namespace vx::test {
namespace {

class ArraysApiTest : public ApiTest {
 protected:
  void SetUp() override {
    a = DeclareDouble("A");
    b = DeclareDouble("B");
    n = DeclareLong("N", 5);
    s = DeclareString("S", 2048);
    p = DeclareString("P", 1024);
    q = DeclareString("Q", 1024);
    Ready();
  }
  std::int32_t Status() { return Long(sysvar::G_ERROR); }
  void SetPath(std::int32_t var, std::string_view name) {
    values::WriteText(rt, var, folder.Path(name));
  }

  TempFolder folder;
  std::int32_t a, b, n, s, p, q;
};

TEST_F(ArraysApiTest, SetArrayWithOneValueClearsTheOtherColumns) {
  Call("SetArray", "7, 1, 2, 3, 4, 5, 6");
  Call("SetArray", "7, 9.5");
  EXPECT_EQ(Status(), 0);
  Call("GetArray", "7, A, B");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Double(a), 9.5);
  EXPECT_EQ(Double(b), 0.0);
  Call("SetAryElem", "7, 5, 2.25");
  Call("GetArray", "7, A, , , , , B");
  EXPECT_EQ(Double(b), 2.25);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(ArraysApiTest, BadRowsAndColumnsStoreNothing) {
  values::WriteDouble(rt, a, 3.0);
  Call("GetArray", "10000, A");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Double(a), 0.0);  // the first output receives 0.0
  Call("SetArray", "-1, 5");
  EXPECT_EQ(Status(), 1);
  Call("SetAryElem", "0, 6, 1");
  EXPECT_EQ(Status(), 1);
  Call("SetAryElem", "0, 5, 1");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(rt.stores.numbers.Element(0, 5), 1.0);
}

TEST_F(ArraysApiTest, SortArrayAndClear) {
  Call("SetArray", "0, 3, 30");
  Call("SetArray", "1, 1, 10");
  Call("SetArray", "2, 2, 20");
  Call("SortArray", "3");
  EXPECT_EQ(Status(), 0);
  Call("GetArray", "0, A, B");
  EXPECT_EQ(Double(a), 1.0);
  EXPECT_EQ(Double(b), 10.0);
  Call("SortArray", "10001");
  EXPECT_EQ(Status(), 1);
  Call("ClearArray", "");
  Call("GetArray", "0, A");
  EXPECT_EQ(Double(a), 0.0);
}

TEST_F(ArraysApiTest, SpRaysGivesColumnStatistics) {
  Call("SetArray", "10, 0, 4");
  Call("SetArray", "11, 0, -2");
  Call("SetArray", "12, 0, 10");
  Call("SpRays", "1, 10, 3");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Double(sysvar::G_DBLWK1), 12.0);
  EXPECT_EQ(Double(sysvar::G_DBLWK2), 4.0);
  EXPECT_EQ(Double(sysvar::G_DBLWK3), -2.0);
  EXPECT_EQ(Double(sysvar::G_DBLWK4), 10.0);
  EXPECT_DOUBLE_EQ(Double(sysvar::G_DBLWK5), std::sqrt(24.0));
  EXPECT_EQ(Long(sysvar::G_WORK1), 11);
  EXPECT_EQ(Long(sysvar::G_WORK2), 12);
  Call("SpRays", "1, 9999, 2");
  EXPECT_EQ(Status(), 1);
  Call("SpRays", "6, 0, 1");
  EXPECT_EQ(Status(), 1);
}

TEST_F(ArraysApiTest, StringArrayEntriesAndSearch) {
  Call("SetStrArray", "0, \"alpha\"");
  Call("SetStrArray", "1, \"beta gamma\"");
  EXPECT_EQ(Status(), 0);
  values::WriteText(rt, s, std::string(1023, 'x'));
  Call("SetStrArray", "2, S");
  EXPECT_EQ(Status(), 1);
  Call("SetStrArray", "500, \"x\"");
  EXPECT_EQ(Status(), 1);
  Call("GetStrArray", "1, S");
  EXPECT_EQ(Text(s), "beta gamma");
  Call("GetStrArray", "500, S");
  EXPECT_EQ(Status(), 1);
  Call("SearchStrArray", "500, \"gam\", 0, N");
  EXPECT_EQ(Long(n), 1);
  Call("SearchStrArray", "500, \"gam\", 1, N");
  EXPECT_EQ(Long(n), -1);
  Call("SortStrArray", "2");
  Call("GetStrArray", "0, S");
  EXPECT_EQ(Text(s), "alpha");
  Call("ClearStrArray", "");
  Call("GetStrArray", "0, S");
  EXPECT_EQ(Text(s), "");
}

TEST_F(ArraysApiTest, StringArrayFilesByteForByte) {
  Call("SetStrArray", "0, \"one\"");
  Call("SetStrArray", "2, \"\x83\x5c\"");
  SetPath(p, "list.txt");
  Call("SaveStrArray", "P, 3");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(folder.Read("list.txt"), "one\r\n\r\n\x83\x5c\r\n");
  Call("SaveStrArray", "P, 1, 1");
  EXPECT_EQ(folder.Read("list.txt"), "one\r\n\r\n\x83\x5c\r\none\r\n");
  Call("ClearStrArray", "");
  Call("LoadStrArray", "P, 3, N");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Long(n), 3);
  Call("GetStrArray", "2, S");
  EXPECT_EQ(Text(s), "\x83\x5c");
  Call("GetStrArray", "3, S");
  EXPECT_EQ(Text(s), "");  // the count limits what is read
}

TEST_F(ArraysApiTest, StringArrayFileFailuresKeepTheStore) {
  Call("SetStrArray", "0, \"kept\"");
  SetPath(p, "missing/list.txt");
  Call("LoadStrArray", "P, 10, N");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Long(n), 0);
  EXPECT_NE(Text(sysvar::G_ERR_TXT), "");
  Call("SaveStrArray", "P, 1");
  EXPECT_EQ(Status(), 1);
  Call("GetStrArray", "0, S");
  EXPECT_EQ(Text(s), "kept");
  // A line longer than an entry is cut on a character boundary and counted.
  folder.Write("long.txt", std::string(1021, 'a') + "\x82\xa0\r\nnext\r\n");
  SetPath(p, "long.txt");
  Call("LoadStrArray", "P, 100000, N");
  EXPECT_EQ(Long(n), 2);
  EXPECT_EQ(Long(sysvar::G_WORK1), 1);
  Call("GetStrArray", "0, S");
  EXPECT_EQ(Text(s), std::string(1021, 'a'));
}

TEST_F(ArraysApiTest, FifoPutGetRewindAndOverwrite) {
  Call("PutFifo", "\"first\"");
  Call("PutFifo", "\"second\"");
  Call("GetFifo", "S");
  EXPECT_EQ(Text(s), "first");
  Call("GetFifo", "S");
  EXPECT_EQ(Text(s), "second");
  Call("GetFifo", "S");
  EXPECT_EQ(Status(), 1);
  Call("RewindFifo", "");
  Call("GetFifo", "S, 1");
  EXPECT_EQ(Text(s), "first");
  Call("FifoCmd", "0, N");
  EXPECT_EQ(Long(n), 1);
  Call("FifoCmd", "7, N");
  EXPECT_EQ(Long(n), 0);
  Call("ClearFifo", "");
  for (int i = 0; i < 100; ++i) Call("PutFifo", "\"" + std::to_string(i) + "\"");
  EXPECT_EQ(Status(), 0);
  Call("PutFifo", "\"x\"");
  EXPECT_EQ(Status(), 1);
  Call("PutFifo", "\"x\", 1");
  EXPECT_EQ(Status(), 0);
  Call("GetFifo", "S");
  EXPECT_EQ(Text(s), "1");
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(ArraysApiTest, SortListByMarkedKey) {
  folder.Write("in.txt", "b [2] x\r\nnone\r\na [10]\r\nc [1]");
  SetPath(p, "in.txt");
  SetPath(q, "out.txt");
  Call("SortList", "P, Q, \"[\", \"]\", 1");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(folder.Read("out.txt"), "c [1]\r\na [10]\r\nb [2] x\r\nnone\r\n");
  Call("SortList", "P, Q, \"[\", \"]\", 0");
  EXPECT_EQ(folder.Read("out.txt"), "b [2] x\r\na [10]\r\nc [1]\r\nnone\r\n");
}

TEST_F(ArraysApiTest, SortListRefusesFilesBeyondItsLimits) {
  std::string many;
  for (int i = 0; i < 10001; ++i) many += "x\n";
  folder.Write("many.txt", many);
  folder.Write("out.txt", "old");
  SetPath(p, "many.txt");
  SetPath(q, "out.txt");
  Call("SortList", "P, Q, \"\", \"\", 1");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(folder.Read("out.txt"), "old");
  folder.Write("long.txt", std::string(3000, 'y') + "\n");
  SetPath(p, "long.txt");
  Call("SortList", "P, Q, \"\", \"\", 1");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(folder.Read("out.txt"), "old");
  SetPath(p, "nothing.txt");
  Call("SortList", "P, Q, \"\", \"\", 1");
  EXPECT_EQ(Status(), 1);
}

TEST_F(ArraysApiTest, GetValueAndSetValueByName) {
  Call("SetValue", "\"N\", \"42\"");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Long(n), 42);
  Call("GetValue", "\"N\", A");
  EXPECT_EQ(Double(a), 42.0);
  Call("SetValue", "\"S\", \"text\"");
  Call("GetValue", "\"S\", P");
  EXPECT_EQ(Text(p), "text");
  Call("GetValue", "\"NOPE\", A");
  EXPECT_EQ(Status(), 1);
  Call("SetValue", "\"NOPE\", \"1\"");
  EXPECT_EQ(Status(), 1);
}

class SaveValuesApiTest : public ArraysApiTest {
 protected:
  void SetUp() override {
    first = DeclareLong("V1", 12);
    dbl = DeclareDouble("V2", 1.5);
    str = DeclareString("V3", 256, "a=b \x83\x5c");
    edit = DeclareControl("ED", R_KD_EDITBOX);
    check = DeclareControl("CK", R_KD_CK_BOX);
    multi = DeclareString("V4", 256, "line1\r\nV1=666");
    ArraysApiTest::SetUp();
    window.At(rt.program.Resource(edit)).text = "edit text";
    window.At(rt.program.Resource(check)).checked = true;
  }
  std::int32_t first, dbl, str, edit, check, multi;
};

TEST_F(SaveValuesApiTest, SaveThenLoadRestoresByName) {
  SetPath(p, "values.txt");
  Call("SaveValues", "P, V1, V4, 1");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(folder.Read("values.txt"),
            "V1=12\r\nV2=1.500000\r\nV3=a=b \x83\x5c\r\nED=edit text\r\nCK=1\r\n"
            "V4\t=line1\\r\\nV1=666\r\n");
  values::WriteInteger(rt, first, 0);
  values::WriteDouble(rt, dbl, 0);
  values::WriteText(rt, str, "");
  values::WriteText(rt, multi, "");
  window.At(rt.program.Resource(edit)).text = "";
  window.At(rt.program.Resource(check)).checked = false;
  Call("LoadValues", "P");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Long(first), 12);
  EXPECT_EQ(Double(dbl), 1.5);
  EXPECT_EQ(Text(str), "a=b \x83\x5c");
  EXPECT_EQ(Text(multi), "line1\r\nV1=666");
  EXPECT_EQ(window.At(rt.program.Resource(edit)).text, "edit text");
  EXPECT_TRUE(window.At(rt.program.Resource(check)).checked);
  EXPECT_EQ(Long(sysvar::G_WORK1), 6);
  // Expressions see the restored values.
  EXPECT_EQ(rt.names.Value(rt.program.Resource(first).name_index), 12.0);
}

TEST_F(SaveValuesApiTest, AppendingAndLoadingSkipsWhatItCannotPlace) {
  SetPath(p, "values.txt");
  Call("SaveValues", "P, V1, V1, 1");
  Call("SaveValues", "P, V2, V2, 0");
  EXPECT_EQ(folder.Read("values.txt"), "V1=12\r\nV2=1.500000\r\n");
  folder.Write("odd.txt", "no equals\r\nGONE=1\r\nV1=99\r\nV2=" + std::string(300000, '7') +
                              "\r\nV3=last\r\n");
  SetPath(p, "odd.txt");
  Call("LoadValues", "P");
  EXPECT_EQ(Status(), 1);  // the over-long line
  EXPECT_EQ(Long(first), 99);
  EXPECT_EQ(Double(dbl), 1.5);
  EXPECT_EQ(Text(str), "last");
  EXPECT_EQ(Long(sysvar::G_WORK2), 1);
  SetPath(p, "none.txt");
  Call("LoadValues", "P");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Long(first), 99);
}

TEST_F(SaveValuesApiTest, ReplacingAFileThatCannotBeWrittenKeepsIt) {
  SetPath(p, "no/such/folder/values.txt");
  Call("SaveValues", "P, V1, V2, 1");
  EXPECT_EQ(Status(), 1);
  EXPECT_NE(Text(sysvar::G_ERR_TXT), "");
  Call("SaveValues", "P, V1, NOPE, 1");
  EXPECT_EQ(ErrorText(), Message(msg::Id::kParamNoResource, "NOPE"));
}

}  // namespace
}  // namespace vx::test
