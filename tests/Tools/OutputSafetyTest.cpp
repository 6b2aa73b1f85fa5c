// What the companion programs write never destroys what it should not: links
// lead to their targets, FIFOs and devices are written in place, no output
// overwrites an input or another output, quill-data's file names never
// collide, a signal while writing leaves nothing behind, and the chart is
// well-formed XML whatever bytes its texts hold.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <chrono>
#include <map>

#include "ToolTestSupport.h"

namespace {

using tooltest::Outcome;
using tooltest::Slurp;
namespace fs = std::filesystem;

class OutputSafety : public tooltest::ScratchTest {
 protected:
  // Every file of the folder (links as their targets' names) and its content.
  std::map<std::string, std::string> Contents() const {
    std::map<std::string, std::string> all;
    for (const std::string& name : Files()) {
      const fs::path path = dir_ / name;
      all[name] = fs::is_symlink(path)        ? "-> " + fs::read_symlink(path).string()
                  : fs::is_regular_file(path) ? Slurp(path)
                                              : "special";
    }
    return all;
  }
};

TEST_F(OutputSafety, LinksLeadToTheirTargetsAndSpecialFilesAreWrittenInPlace) {
  const std::string net = Run("quill-net new 2-2-1 --seed 1").out;
  fs::create_symlink("t", dir_ / "link.wgt");
  ASSERT_EQ(Run("quill-net new 2-2-1 --seed 1 -o link.wgt").status, 0);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.wgt"));
  EXPECT_EQ(Slurp(dir_ / "t"), net);
  // As /dev/stdout is (a link of our own: a faulty write replaces only it).
  fs::create_symlink("/proc/self/fd/1", dir_ / "stdout");
  const Outcome to_stdout = Run("quill-net new 2-2-1 --seed 1 -o stdout");
  EXPECT_EQ(to_stdout.out, net) << to_stdout.err;
  // A device of our own (the system's null device) where we may make one:
  // a faulty write then never replaces the system's /dev/null.
  const std::string null = mknod((dir_ / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                                   std::ofstream(dir_ / "null").good()
                               ? (dir_ / "null").string()
                               : "/dev/null";
  EXPECT_EQ(Run("quill-net new 2-2-1 --seed 1 -o " + null).status, 0);
  EXPECT_TRUE(fs::is_character_file(null));
  ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0644), 0);
  EXPECT_EQ(Run("timeout 20 cat fifo >got & quill-net dot t -o fifo; wait").status, 0);
  EXPECT_TRUE(fs::is_fifo(dir_ / "fifo"));
  EXPECT_EQ(Slurp(dir_ / "got"), Run("quill-net dot t").out);
  fs::create_directory(dir_ / "sub");
  const Outcome folder = Run("quill-net new 2-2-1 -o sub");
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.err, "quill-net: cannot write sub: it is a folder\n");
  for (const std::string& name : Files())
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

TEST_F(OutputSafety, NoOutputNamesAnInputOrAnotherOutput) {
  ASSERT_EQ(Run("quill-net new 2-2-1 --seed 1 -o i.wgt").status, 0);
  Write("s.csv", "a,b,y\n0,0,0\n1,1,1\n");
  ASSERT_EQ(Run("quill-data from-csv s.csv -t y --kind regression -o s").status, 0);
  fs::rename(dir_ / "s.dat", dir_ / "s-dat");
  fs::create_hard_link(dir_ / "s-dat", dir_ / "s.dat");
  Write("p-scaling.csv", "a,b,y\n0,0,p\n1,1,q\n");
  Write("rec.csv", "column,subtract,divide\na,0,1\nb,0,1\n");
  fs::create_symlink("rec.csv", dir_ / "q-scaling.csv");
  Write("ab.csv", "x,y\n1,a\n2,b\n");
  fs::create_symlink("l-b.dat", dir_ / "l-a.dat");
  const std::map<std::string, std::string> before = Contents();
  const struct {
    std::string command, message;
  } kCases[] = {
      {"quill-eval i.wgt s.dat --outputs s.dat",
       "--outputs and the data-set file name the same file s.dat"},
      {"quill-eval i.wgt s.dat --outputs s-dat",  // a hard link: another name, the same file
       "--outputs and the data-set file name the same file s-dat"},
      {"quill-eval i.wgt s.dat --outputs ./i.wgt",
       "--outputs and the network file name the same file ./i.wgt"},
      {"quill-data to-csv s.dat -o s.dat", "-o and the data-set file name the same file s.dat"},
      {"quill-net dot i.wgt -o i.wgt", "-o and the network file name the same file i.wgt"},
      {"quill-plot p-scaling.csv --column 2 -o p-scaling.csv",
       "-o and the progress file name the same file p-scaling.csv"},
      {"quill-data from-csv p-scaling.csv -t y --scale minmax -o p",
       "the scaling file and the CSV file name the same file p-scaling.csv"},
      {"quill-data from-csv s.csv -t y --kind regression --scaling rec.csv -o q",
       "the scaling file and the --scaling file name the same file q-scaling.csv"},
      {"quill-data from-csv ab.csv -t y -o l",  // two outputs, one file through a link
       "the data-set file for a and the data-set file for b name the same file l-a.dat"},
  };
  for (const auto& c : kCases) {
    const Outcome o = Run(c.command);
    const std::string program = c.command.substr(0, c.command.find(' '));
    EXPECT_EQ(o.status, 1) << c.command;
    EXPECT_EQ(o.err, program + ": " + c.message + "\n") << c.command;
    EXPECT_EQ(Contents(), before) << c.command;
  }
}

// The #DataClasses and DataFile entries of a parameter file, blanks before
// '=' made one.
std::string DataLines(const fs::path& params) {
  std::istringstream in(Slurp(params));
  std::string line, lines;
  while (std::getline(in, line)) {
    if (line.rfind("#DataClasses ", 0) != 0 && line.rfind("DataFile ", 0) != 0) continue;
    const std::size_t key_end = line.find(' ');
    lines += line.substr(0, key_end) + " " + line.substr(line.find('=')) + "\n";
  }
  return lines;
}

TEST_F(OutputSafety, DataFileNamesAreUniqueByConstruction) {
  // Classes whose test files would take each other's training names.
  const char* const classes[] = {"x", "x-test", "x-test-test"};
  std::string csv = "a,y\n";
  for (int r = 0; r < 12; ++r)
    csv += std::to_string(r) + "," + classes[r % 3] + "\n";
  Write("c.csv", csv);
  const Outcome o = Run("quill-data from-csv c.csv -t y --test-fraction 0.25 --scale none -o p");
  ASSERT_EQ(o.status, 0) << o.err;
  const std::vector<std::string> written = Files();
  // Three classes, a training and a test file each, the parameter file, the
  // scaling file and the CSV.
  ASSERT_EQ(written.size(), 9u) << o.out;
  const std::string stems[] = {"p-x", "p-x-test-2", "p-x-test-test"};
  EXPECT_EQ(DataLines(dir_ / "p-params.txt"), "#DataClasses = 3\nDataFile = " + stems[0] +
                                                  ".dat\nDataFile = " + stems[1] +
                                                  ".dat\nDataFile = " + stems[2] + ".dat\n");
  // Each file holds its own class's rows (a % 3 is the class): 3 training
  // rows and 1 test row.
  for (int k = 0; k < 3; ++k) {
    for (const std::string suffix : {".dat", "-test.dat"}) {
      const Outcome rows = Run("quill-data to-csv " + stems[k] + suffix);
      std::istringstream in(rows.out);
      std::string line;
      std::getline(in, line);  // the header
      int count = 0;
      for (; std::getline(in, line); ++count)
        EXPECT_EQ(std::stoi(line) % 3, k) << stems[k] + suffix;
      EXPECT_EQ(count, suffix == ".dat" ? 3 : 1) << stems[k] + suffix;
    }
  }
  // Without a test split the names are today's.
  EXPECT_EQ(Run("quill-data from-csv c.csv -t y -o q").status, 0);
  EXPECT_EQ(DataLines(dir_ / "q-params.txt"),
            "#DataClasses = 3\nDataFile = q-x.dat\nDataFile = q-x-test.dat\n"
            "DataFile = q-x-test-test.dat\n");
}

// SIGINT at moments spread over a run of each program: it ends with status 0
// and every output, or with 130 and nothing but its inputs.
TEST_F(OutputSafety, ASignalWhileWritingLeavesNothingBehind) {
  std::string csv = "a,b,c,y\n", progress;
  for (int r = 0; r < 3000; ++r)
    csv += std::to_string(r % 97) + "," + std::to_string(r % 13) + ".5,1,k" +
           std::to_string(r % 40) + "\n";
  for (int g = 0; g < 50000; ++g)
    progress += std::to_string(g) + " " + std::to_string(1.0 / (g + 1)) + "\n";
  Write("big.csv", csv);
  Write("progress.txt", progress);
  ASSERT_EQ(Run("quill-net new 2-40-1 --seed 2 -o n.wgt").status, 0);
  ASSERT_EQ(Run("quill-data from-csv big.csv -t c --drop y -o r").status, 0);
  for (const std::string command :
       {"quill-data from-csv big.csv -t y --test-fraction 0.5 --scale minmax -o p",
        "quill-net new 100-100-10 --seed 3 -o big.wgt", "quill-eval n.wgt r.dat --outputs r.csv",
        "quill-data to-csv r.dat -o r.csv", "quill-plot progress.txt -o p.svg"}) {
    SCOPED_TRACE(command);
    const std::map<std::string, std::string> inputs = Contents();
    auto clean = [&](const std::map<std::string, std::string>& written) {
      for (const auto& entry : written)
        if (inputs.count(entry.first) == 0) fs::remove(dir_ / entry.first);
    };
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Run(command).status, 0);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const std::map<std::string, std::string> complete = Contents();
    clean(complete);
    for (int k = 0; k < 8; ++k) {
      const std::string wait = std::to_string(took.count() * k / 7);
      const int status = Run("env --default-signal=INT " + command + " & pid=$!; sleep " + wait +
                             "; kill -INT $pid; wait $pid")
                             .status;
      ASSERT_TRUE(status == 0 || status == 130) << status;
      // A signal after the files are in place (while the report is printed)
      // finds them complete.
      const std::map<std::string, std::string> now = Contents();
      EXPECT_TRUE(now == complete || (status == 130 && now == inputs)) << k;
      clean(complete);
    }
  }
}

TEST_F(OutputSafety, TheChartIsWellFormedXmlForAnyBytes) {
  Write("two.txt", "0 0.5\n1 0.3\n");
  Write("run\xff\xfe.txt", "0 0.5\n1 0.25\n");
  const Outcome o =
      Run("quill-plot two.txt 'run\xff\xfe.txt' -o chart.svg "
          "--title \"$(printf 'a\\303\\050\\355\\240\\200\\357\\277\\276<&\\001')\" "
          "--label \"$(printf '\\342\\202')\"");
  ASSERT_EQ(o.status, 0) << o.err;
  const std::string svg = Slurp(dir_ / "chart.svg");
  const std::string bad = "\xef\xbf\xbd";  // U+FFFD
  EXPECT_NE(svg.find(">a" + bad + "(" + bad + bad + bad + bad + "&lt;&amp; </text>"),
            std::string::npos)
      << svg;
  EXPECT_NE(svg.find(">" + bad + "</text>"), std::string::npos);
  EXPECT_NE(svg.find(">run" + bad + bad + ".txt</text>"), std::string::npos);
}

}  // namespace
