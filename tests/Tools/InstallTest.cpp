// Installation: `cmake --install` into a scratch prefix, then the installed
// programs run on the installed examples and every manual page formats
// without a warning; CPack's Debian package holds the same files.
#include <vector>

#include "ToolTestSupport.h"

namespace {

using tooltest::Outcome;

class Install : public tooltest::ScratchTest {};

const char* const kPrograms[] = {"Quill", "quill-net", "quill-data", "quill-eval", "quill-plot"};
// The Python package, when the build made the module (python/CMakeLists.txt).
bool BuiltPython() {
  return tooltest::fs::exists(tooltest::fs::path(QUILL_BUILD_DIR) / "python/interpreter.txt");
}

const char* const kPages[] = {"man1/Quill.1",         "man1/quill-net.1",    "man1/quill-data.1",
                              "man1/quill-eval.1",    "man1/quill-plot.1",   "man5/quill-params.5",
                              "man5/quill-network.5", "man5/quill-dataset.5"};

TEST_F(Install, InstalledProgramsRunOnTheInstalledExamples) {
  const Outcome install =
      Run("cmake --install '" + std::string(QUILL_BUILD_DIR) + "' --prefix prefix >/dev/null");
  ASSERT_EQ(install.status, 0) << install.err;
  const tooltest::fs::path prefix = dir_ / "prefix";
  for (const char* program : kPrograms)
    EXPECT_TRUE(tooltest::fs::exists(prefix / "bin" / program)) << program;
  for (const char* page : kPages) {
    const tooltest::fs::path path = prefix / "share/man" / page;
    ASSERT_TRUE(tooltest::fs::exists(path)) << page;
    const Outcome lint = Run("groff -man -Tutf8 -ww -z '" + path.string() + "'");
    EXPECT_EQ(lint.status, 0) << page;
    EXPECT_EQ(lint.err, "") << page;
  }
  EXPECT_TRUE(tooltest::fs::exists(prefix / "share/doc/quill/README.md"));
  if (BuiltPython()) {
    // Importable from the folder it was installed to, by the interpreter it
    // was built for.
    const Outcome python =
        Run("PYTHONPATH=\"$(echo prefix/lib/python3*/dist-packages)\" \"$(cat '" +
            std::string(QUILL_BUILD_DIR) +
            "/python/interpreter.txt')\" -c "
            "'import quill, quill.sklearn; print(quill.__version__, quill.__file__)'");
    EXPECT_EQ(python.status, 0) << python.err;
    EXPECT_EQ(python.out.rfind("1.0.0 ", 0), 0u) << python.out;
    EXPECT_NE(python.out.find("prefix/lib/python3"), std::string::npos) << python.out;
  }

  // From the installed documentation folder, as its README says.
  const std::string bin = (prefix / "bin").string() + "/";
  const std::string docs = "cd prefix/share/doc/quill && ";
  const Outcome train = Run(docs + bin + "Quill examples/xor/params.txt");
  ASSERT_EQ(train.status, 0) << train.err;
  EXPECT_EQ(std::count(train.out.begin(), train.out.end(), '\n'), 101);
  const Outcome eval = Run(docs + bin + "quill-eval xor_trained.wgt examples/xor/xor.dat");
  EXPECT_EQ(eval.status, 0) << eval.err;
  EXPECT_NE(eval.out.find("error as Quill reports it: "), std::string::npos);
  const Outcome data =
      Run(docs + bin + "quill-data from-csv examples/iris/iris.csv -t species -o iris && " + bin +
          "quill-net new 4-3 --seed 2 -o iris.wgt && " + bin +
          "quill-eval iris.wgt iris-setosa.dat iris-versicolor.dat iris-virginica.dat");
  EXPECT_EQ(data.status, 0) << data.err;
  EXPECT_NE(data.out.find("/150 "), std::string::npos) << data.out;
  const Outcome plot = Run(docs + bin + "Quill examples/xor/params.txt | " + bin + "quill-plot");
  EXPECT_EQ(plot.status, 0) << plot.err;
  EXPECT_NE(plot.out.find("</svg>"), std::string::npos);
}

TEST_F(Install, DebianPackageHoldsTheProgramsAndPages) {
  const std::string build = QUILL_BUILD_DIR;
  const Outcome pack =
      Run("cpack -G DEB -B pkg --config '" + build + "/CPackConfig.cmake' >/dev/null");
  ASSERT_EQ(pack.status, 0) << pack.err;
  const Outcome info = Run("dpkg-deb -f pkg/quill_1.0.0_*.deb Package Version");
  EXPECT_EQ(info.out, "Package: quill\nVersion: 1.0.0\n");
  const Outcome list = Run("dpkg-deb -c pkg/quill_1.0.0_*.deb");
  ASSERT_EQ(list.status, 0) << list.err;
  for (const char* program : kPrograms)
    EXPECT_NE(list.out.find("./usr/bin/" + std::string(program) + "\n"), std::string::npos);
  for (const char* page : kPages)
    EXPECT_NE(list.out.find("./usr/share/man/" + std::string(page) + "\n"), std::string::npos);
  EXPECT_NE(list.out.find("./usr/share/doc/quill/examples/iris/iris.csv\n"), std::string::npos);
  if (BuiltPython()) {
    for (const char* file : {"__init__.py\n", "sklearn.py\n", "_quill."})
      EXPECT_NE(list.out.find("/dist-packages/quill/" + std::string(file)), std::string::npos)
          << file;
  }
  const Outcome unpacked =
      Run("dpkg-deb -x pkg/quill_1.0.0_*.deb root && root/usr/bin/quill-net --version");
  EXPECT_EQ(unpacked.out, "quill-net (Quill) 1.0.0\n");
}

}  // namespace
