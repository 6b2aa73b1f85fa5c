#include "Tools/Common/CommandLine.h"

#include <iostream>

#include "Tools/Common/ToolSupport.h"

namespace quill::tools {

void PrepareApp(CLI::App& app, const char* program, const std::string& example) {
  app.set_version_flag("--version", VersionLine(program), "Print the version and exit");
  app.set_help_flag("-h,--help", "Print this help and exit");
  app.option_defaults()->always_capture_default();
  app.footer("Example:\n  " + example);
}

void PrepareSubcommand(CLI::App& sub, const std::string& example) {
  sub.option_defaults()->always_capture_default();
  sub.footer("Example:\n  " + example);
}

bool ParseCommandLine(CLI::App& app, int argc, char** argv) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    app.exit(e, std::cout, std::cerr);
    return false;
  } catch (const CLI::CallForAllHelp& e) {
    app.exit(e, std::cout, std::cerr);
    return false;
  } catch (const CLI::CallForVersion& e) {
    app.exit(e, std::cout, std::cerr);
    return false;
  } catch (const CLI::ParseError& e) {
    throw UsageError(e.what());
  }
  return true;
}

}  // namespace quill::tools
