// The command-line contract of the programs, run as a user runs them: help
// and version, usage errors (status 2), failures (status 1) with a message on
// standard error and no file left behind, earlier files kept.
#include <vector>

#include "MLP/Quill/Usage.h"
#include "ToolTestSupport.h"

namespace {

using tooltest::Outcome;

class ToolsBinary : public tooltest::ScratchTest {};

const char* const kCompanions[] = {"quill-net", "quill-data", "quill-eval", "quill-plot"};

TEST_F(ToolsBinary, HelpAndVersion) {
  for (const std::string program :
       {"Quill", "quill-net", "quill-data", "quill-eval", "quill-plot"}) {
    SCOPED_TRACE(program);
    const Outcome help = Run(program + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_NE(help.out.find("Usage: " + program), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("Example:\n  "), std::string::npos) << help.out;
    const Outcome version = Run(program + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, program == "Quill" ? "Quill 1.0.0\n" : program + " (Quill) 1.0.0\n");
  }
  for (const std::string sub :
       {"quill-net new", "quill-net show", "quill-net dot", "quill-data from-csv",
        "quill-data to-csv", "quill-data describe", "quill-eval predict"}) {
    const Outcome help = Run(sub + " --help");
    EXPECT_EQ(help.status, 0) << sub;
    EXPECT_NE(help.out.find("Usage: " + sub), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("Example:\n  " + sub), std::string::npos) << help.out;
  }
}

TEST_F(ToolsBinary, QuillHelpListsEveryParameterKey) {
  const Outcome help = Run("Quill --help");
  for (const ParameterKey& key : ParameterKeys())
    EXPECT_NE(help.out.find("\n  " + std::string(key.name) + " "), std::string::npos) << key.name;
  // Any other argument is still a parameter file.
  EXPECT_EQ(Run("Quill -help").err, "Unable to open file-help\n");
  EXPECT_EQ(Run("Quill --help --version").err, "Usage: Quill parameter.file\n");
}

TEST_F(ToolsBinary, CommandLineMistakesExitWithTwo) {
  for (const std::string program : kCompanions) {
    const Outcome o = Run(program + " --no-such-option");
    EXPECT_EQ(o.status, 2) << program;
    EXPECT_EQ(o.out, "") << program;
    EXPECT_EQ(o.err.rfind(program + ": ", 0), 0u) << o.err;
  }
  EXPECT_EQ(Run("quill-net").status, 2);
  EXPECT_EQ(Run("quill-net new 4-0-3").status, 2);
  EXPECT_EQ(Run("quill-net new 4-3 --hidden-act error").status, 2);
  EXPECT_EQ(Run("quill-net new 4-3 --init he --min 0").status, 2);
  EXPECT_EQ(Run("quill-net new 6000-6000-1 -o x.wgt").status, 2);
  Write("a.csv", "x,y\n1,2\n");
  EXPECT_EQ(Run("quill-data from-csv a.csv --target z -o a").status, 2);
  EXPECT_EQ(Run("quill-data from-csv a.csv --target y -o 'a b'").status, 2);
  EXPECT_EQ(Run("quill-data from-csv a.csv --target y --test-fraction 1 -o a").status, 2);
  EXPECT_EQ(Run("quill-eval net.wgt").status, 2);
  EXPECT_EQ(Run("quill-eval net.wgt d.dat --features 1,x").status, 2);
  EXPECT_EQ(Files(), std::vector<std::string>{"a.csv"});
}

// Each bad input ends with status 1, a message naming what is wrong, and no
// file beyond those the test wrote.
TEST_F(ToolsBinary, BadInputFailsWithAMessageAndNoFile) {
  Write("ragged.csv", "a,b,y\n1,2,p\n3,q\n");
  Write("word.csv", "a,b,y\r\n1,2,p\r\n3,x4,q\r\n");
  Write("noclass.csv", "a,y\n1,p\n2,\"\"\n");
  Write("open.csv", "a,y\n1,\"p\n2,q\n");
  Write("split.csv", "a,y\n1,p\n2,q\n3,q\n");
  Write("bad.wgt",
        "[NeuralNetwork]\n[NetworkType = MLP]\n[NetworkInformation]\n"
        "[NumberOfLayers = 3]\n[Colour = 2]\n");
  Write("basic.wgt",
        "[NeuralNetwork]\n[NetworkType = Basic]\n[NetworkInformation]\n"
        "[NumberOfLayers = 1]\n[InputLayer = 0]\n[OutputLayer = 0]\n"
        "[~NetworkInformation]\n[Layer = 0]\n[LayerType = Input]\n"
        "[NumberOfNeurons = 1]\n[ActivationFunction = linear]\n[~Layer]\n"
        "[~NeuralNetwork]\n");
  Write("three.dat",
        "[DataSet]\n[Rows = 1]\n[Inputs = 3]\n[ExpectedOutputs = 1]\n[Data]\n"
        "1 2 3 4\n[~Data]\n[~DataSet]\n");
  Write("cut.dat", "[DataSet]\n[Rows = 2]\n[Inputs = 1]\n[ExpectedOutputs = 1]\n[Data]\n1 2\n");
  Write("words.txt", "generation error\nnothing here\n");
  Write("zero.txt", "0 0.5\n1 0\n");
  ASSERT_EQ(Run("quill-net new 2-2-1 --seed 1 -o net.wgt").status, 0);
  const std::vector<std::string> before = Files();

  struct Case {
    std::string command;
    std::string message;  // the whole of standard error
  };
  const Case cases[] = {
      {"quill-data from-csv ragged.csv -t y -o r",
       "ragged.csv:3: the row has 2 fields, the header 3"},
      {"quill-data from-csv word.csv -t y -o r", "word.csv:3: column 2 (b): 'x4' is not a number"},
      {"quill-data from-csv noclass.csv -t y -o r", "noclass.csv:3: column 2 (y): no class"},
      {"quill-data from-csv open.csv -t y -o r", "open.csv:2: a quoted field is not closed"},
      {"quill-data from-csv split.csv -t y --test-fraction 0.5 -o r",
       "the class 'p' keeps no training rows after the test split"},
      {"quill-data from-csv missing.csv -t y -o r", "missing.csv: no such file"},
      {"quill-data describe cut.dat", "cut.dat: Unexpected end of file"},
      {"quill-data to-csv bad.wgt", "bad.wgt: [DATASET] expected"},
      {"quill-net show bad.wgt", "bad.wgt:5: Unknown keyword"},
      {"quill-net dot .", ".: is a folder"},
      {"quill-net new 2-2 -o no/such/folder/x.wgt", "cannot write no/such/folder/x.wgt"},
      {"quill-eval basic.wgt three.dat", "basic.wgt: the network is of type Basic, not an MLP"},
      {"quill-eval net.wgt three.dat",
       "three.dat: 3 inputs and 1 expected outputs do not fit a network of 2 inputs and 1 "
       "outputs"},
      {"quill-eval net.wgt three.dat --features 0,3",
       "three.dat: a feature lies outside its 3 input columns (they count from 0)"},
      {"quill-eval net.wgt three.dat --features 0,2 --outputs no/such/rows.csv",
       "cannot write no/such/rows.csv"},
      {"quill-plot words.txt -o p.svg", "words.txt: no progress lines (generation and error)"},
      {"quill-plot zero.txt --log -o p.svg",
       "zero.txt: an error of 0 cannot be shown on a log scale"},
      // Inputs that never end end at once.
      {"quill-net show /dev/zero", "/dev/zero: NUL byte (not a text file)"},
      {"quill-data describe /dev/zero", "/dev/zero: NUL byte (not a text file)"},
      {"quill-data from-csv /dev/zero -t y -o r", "/dev/zero:1: a NUL byte (not a text file)"},
      {"quill-eval net.wgt /dev/zero", "/dev/zero: NUL byte (not a text file)"},
      {"quill-plot /dev/zero -o p.svg", "/dev/zero:1: a NUL byte (not a text file)"},
  };
  for (const Case& c : cases) {
    const Outcome o = Run(c.command);
    const std::string program = c.command.substr(0, c.command.find(' '));
    EXPECT_EQ(o.status, 1) << c.command;
    EXPECT_EQ(o.err, program + ": " + c.message + "\n") << c.command;
    EXPECT_EQ(o.out, "") << c.command;
    EXPECT_EQ(Files(), before) << c.command;
  }
}

TEST_F(ToolsBinary, AFailedRunKeepsTheEarlierFiles) {
  Write("out.wgt", "earlier");
  Write("d-p.dat", "earlier");
  Write("d.csv", "a,y\n1,p\n2,q\nthree,p\n");
  EXPECT_EQ(Run("quill-net new 2-x -o out.wgt").status, 2);
  EXPECT_EQ(Run("quill-data from-csv d.csv -t y -o d").status, 1);
  EXPECT_EQ(tooltest::Slurp(dir_ / "out.wgt"), "earlier");
  EXPECT_EQ(tooltest::Slurp(dir_ / "d-p.dat"), "earlier");
  // A good run replaces them whole.
  EXPECT_EQ(Run("quill-net new 2-2 --seed 3 -o out.wgt").status, 0);
  EXPECT_EQ(Run("quill-net new 2-2 --seed 3").out, tooltest::Slurp(dir_ / "out.wgt"));
}

// Trained by Quill, measured by quill-eval: the same error, and the pipeline
// of the programs works on standard input and output.
TEST_F(ToolsBinary, EvalReportsTheErrorQuillPrinted) {
  Write("xor.csv", "a,b,y\n0,0,0\n0,1,1\n1,0,1\n1,1,0\n");
  ASSERT_EQ(Run("quill-data from-csv xor.csv -t y --kind regression --scale none "
                "--scale-targets none -o xor")
                .status,
            0);
  ASSERT_EQ(Run("quill-net new 2-3-1 --seed 5 -o start.wgt").status, 0);
  Write("p.txt",
        "WeightFile = start.wgt DestinationFile = out.wgt #DataClasses = 1 "
        "DataFile = xor.dat PopulationSize = 20 Generations = 15 Threads = 1 "
        "MinWeight = -4 MaxWeight = 4");
  const Outcome train = Run("Quill p.txt");
  ASSERT_EQ(train.status, 0) << train.err;
  const std::string last = train.out.substr(train.out.rfind("\n15 ") + 1);
  const double printed = std::stod(last.substr(3));
  const Outcome eval = Run("quill-eval out.wgt xor.dat");
  ASSERT_EQ(eval.status, 0) << eval.err;
  const std::string marker = "error as Quill reports it: ";
  const std::size_t at = eval.out.find(marker);
  ASSERT_NE(at, std::string::npos) << eval.out;
  EXPECT_NEAR(std::stod(eval.out.substr(at + marker.size())), printed, printed * 1e-5);

  const Outcome plot = Run("Quill p.txt | quill-plot --title xor");
  EXPECT_EQ(plot.status, 0);
  EXPECT_EQ(plot.out.rfind("<?xml", 0), 0u);
  EXPECT_NE(plot.out.find(">xor</text>"), std::string::npos);
}

}  // namespace
