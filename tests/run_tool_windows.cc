// Runs the built tool in a child process, on Windows.
#include <windows.h>

#include <stdexcept>
#include <string>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

// Quotes one word so that the C runtime's command-line parser gives it back
// unchanged.
void AppendWord(std::wstring& line, const std::wstring& word) {
  if (!line.empty()) line += L' ';
  if (!word.empty() && word.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += word;
    return;
  }
  line += L'"';
  for (auto c = word.begin();; ++c) {
    size_t backslashes = 0;
    for (; c != word.end() && *c == L'\\'; ++c) ++backslashes;
    if (c == word.end()) {
      line.append(backslashes * 2, L'\\');
      break;
    }
    line.append(*c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    line += *c;
  }
  line += L'"';
}

HANDLE Inheritable(const fs::path& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  const HANDLE handle =
      CreateFileW(path.wstring().c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("CreateFileW");
  return handle;
}

}  // namespace

// A read-only file stops anyone on Windows; wine keeps the flag as Unix
// permission bits, which do not stop root.
bool CanRunUnprivileged() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr;
}

ToolRun RunTool(const std::vector<std::string>& args, const RunOptions& options) {
  std::wstring line;
  if (options.program) AppendWord(line, Utf8Path(*options.program).wstring());
  for (const std::string& arg : args) AppendWord(line, Utf8Path(arg).wstring());

  TempDir capture;
  const auto sink = [&capture](const Sink& sink, const char* name) {
    if (sink.kind == Sink::kFile)  // appended to, as by >>
      return Inheritable(sink.file, FILE_APPEND_DATA, OPEN_EXISTING);
    if (sink.kind == Sink::kCaptured)
      return Inheritable(capture.path() / name, GENERIC_WRITE, CREATE_ALWAYS);
    throw std::runtime_error("closed standard streams are not for Windows");
  };
  const HANDLE in = Inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
  const HANDLE out = sink(options.out, "out");
  const HANDLE err = sink(options.err, "err");
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  const std::wstring tool = options.tool.wstring();
  const std::wstring directory = options.directory.wstring();
  const BOOL started = CreateProcessW(
      tool.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
      directory.empty() ? nullptr : directory.c_str(), &startup, &process);
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
  if (!started)
    throw std::runtime_error("CreateProcessW: error " + std::to_string(GetLastError()));
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  ToolRun run;
  run.exit_status = static_cast<int>(code);
  if (options.out.kind == Sink::kCaptured) run.out = ReadFile(capture.path() / "out");
  if (options.err.kind == Sink::kCaptured) run.err = ReadFile(capture.path() / "err");
  return run;
}
