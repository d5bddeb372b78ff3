// gen_patches TABLE OUTDIR: builds OUTDIR/std.o3 and OUTDIR/drums.o3 from the
// readable FM patch table (format described at the top of the table). Every
// instrument of both banks must be given exactly once. Errors are printed as
// "TABLE:LINE: message" and end the program with status 1; nothing is written
// then. Each file is replaced atomically.
#include "common/atomic_file.h"
#include "common/common.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kInstruments = 128;
constexpr int kRecordBytes = 60;
constexpr int kNameOffset = 4;
constexpr int kNameMax = 31;
constexpr int kOperatorOffset = 36;
constexpr int kRegistersPerOperator = 5;
constexpr int kConnectionOffset = 56;

struct Bank {
  const char *name;   // as written in the table
  const char *file;   // the patch file it becomes
  std::vector<unsigned char> bytes = std::vector<unsigned char>(kInstruments * kRecordBytes);
  bool given[kInstruments] = {};
};

// Parses a hex byte "00".."FF" into out; false when it is not one.
bool parse_hex_byte(const std::string &text, unsigned char &out) {
  if (text.empty() || text.size() > 2) return false;
  unsigned value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    value = value * 16 + digit;
  }
  out = static_cast<unsigned char>(value);
  return true;
}

// Parses count hex bytes separated by sep ("AA.BB.CC"); false otherwise.
bool parse_hex_group(const std::string &text, char sep, int count, unsigned char *out) {
  std::stringstream ss(text);
  std::string part;
  int n = 0;
  while (std::getline(ss, part, sep)) {
    if (n == count || !parse_hex_byte(part, out[n])) return false;
    n++;
  }
  return n == count && !text.empty() && text.back() != sep;
}

// Parses a whole decimal number 0..127; false otherwise.
bool parse_number(const std::string &text, int &out) {
  if (text.empty() || text.size() > 3) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value >= kInstruments) return false;
  out = value;
  return true;
}

// Fills the record of one table line into its bank. Returns an error text,
// empty when the line is good.
std::string parse_line(const std::string &line, Bank *banks, int nbanks) {
  std::istringstream in(line);
  std::string bank_name, number, tag, connection;
  if (!(in >> bank_name >> number >> tag >> connection)) return "expected BANK NUMBER TAG CONNECTION";
  Bank *bank = nullptr;
  for (int i = 0; i < nbanks; i++)
    if (bank_name == banks[i].name) bank = &banks[i];
  if (!bank) return "unknown bank \"" + bank_name + "\"";
  int index;
  if (!parse_number(number, index)) return "instrument number must be 0-127: \"" + number + "\"";
  if (bank->given[index]) return bank_name + " " + number + " is given twice";
  int operators;
  if (tag == "4OP") operators = 4;
  else if (tag == "2OP") operators = 2;
  else return "tag must be 4OP or 2OP: \"" + tag + "\"";

  unsigned char record[kRecordBytes] = {};
  std::memcpy(record, tag.data(), 3);
  if (!parse_hex_group(connection, '/', operators / 2, record + kConnectionOffset))
    return "connection must be " + std::string(operators == 4 ? "two hex bytes C1/C2" : "one hex byte") +
           ": \"" + connection + "\"";
  for (int op = 0; op < operators; op++) {
    std::string text;
    if (!(in >> text)) return "expected " + std::to_string(operators) + " operators";
    if (!parse_hex_group(text, '.', kRegistersPerOperator,
                         record + kOperatorOffset + op * kRegistersPerOperator))
      return "operator must be five hex registers joined by '.': \"" + text + "\"";
  }
  std::string name;
  std::getline(in >> std::ws, name);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t' || name.back() == '\r')) name.pop_back();
  if (name.empty()) return "missing name";
  unsigned char extra[kRegistersPerOperator];
  if (parse_hex_group(name.substr(0, name.find(' ')), '.', kRegistersPerOperator, extra))
    return tag + " takes " + std::to_string(operators) + " operators";
  if (name.size() > static_cast<size_t>(kNameMax)) return "name longer than 31 characters";
  std::memcpy(record + kNameOffset, name.data(), name.size());

  std::memcpy(bank->bytes.data() + index * kRecordBytes, record, kRecordBytes);
  bank->given[index] = true;
  return "";
}

// Writes bytes to dir/file through a temporary file and a rename. 0 or -1.
int write_atomically(const std::string &dir, const char *file, const std::vector<unsigned char> &bytes) {
  std::string path = dir + "/" + file;
  std::string_view text(reinterpret_cast<const char *>(bytes.data()), bytes.size());
  if (kvl::replace_file(path.c_str(), text, false) == 0) return 0;
  std::perror(path.c_str());
  return -1;
}

}  // namespace

int main(int argc, char **argv) {
  if (kvl::open_standard_descriptors() < 0) return 1;
  if (argc != 3) {
    std::fprintf(stderr, "usage: gen_patches TABLE OUTDIR\n");
    return 1;
  }
  std::ifstream table(argv[1]);
  if (!table) {
    std::perror(argv[1]);
    return 1;
  }
  Bank banks[2] = {{"std", "std.o3"}, {"drums", "drums.o3"}};
  std::string line;
  int lineno = 0, errors = 0;
  while (std::getline(table, line)) {
    lineno++;
    size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    std::string error = parse_line(line, banks, 2);
    if (!error.empty()) {
      std::fprintf(stderr, "%s:%d: %s\n", argv[1], lineno, error.c_str());
      errors++;
    }
  }
  for (const Bank &bank : banks)
    for (int i = 0; i < kInstruments; i++)
      if (!bank.given[i]) {
        std::fprintf(stderr, "%s: %s %d is missing\n", argv[1], bank.name, i);
        errors++;
      }
  if (errors) return 1;
  for (const Bank &bank : banks)
    if (write_atomically(argv[2], bank.file, bank.bytes) != 0) return 1;
  return 0;
}
