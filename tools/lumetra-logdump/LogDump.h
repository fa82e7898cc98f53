// lumetra-logdump FILE [--scramble N]
// lumetra-logdump --help
//
// Prints a binary log file as text, one line per record in the text log's
// format ("dd.mm.yyyy hh:mm:ss:mmm LVL: CATEGORY:message", stamps in local
// time). N is the scramble count the file was written with: by default the
// GUI's default count, 0 for a file written without scrambling.
//
// Exit status: 0 when every record was read (or --help); 1 for a file that
// cannot be read; 2 for a bad command line, with the usage on the error
// stream; 3 when the file ends inside a record or holds something that is
// not a record (the records before it are printed, the problem is reported
// on the error stream).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace logdump {

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace logdump
