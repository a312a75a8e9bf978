// The request a tarvek-asm command line stands for, checked by the very checks the web
// form's fields go through.
#ifndef TARVEK_CLI_CLI_REQUEST_H
#define TARVEK_CLI_CLI_REQUEST_H

#include "cli/command_line.h"
#include "page/validation.h"

namespace tarvek {

// The fields and their check.
struct CliRequest {
  // The fields as the web form would send them: the option texts read by the form's own
  // reading; with --divide-by alone in the approx mode the constant is 1/D (see `divisor`).
  RequestFields fields;
  // The checks' outcome for `fields`.
  ValidatedRequest checked;
  // With --divide-by alone in the approx mode, D as read; 0 otherwise.
  double divisor = 0;
  // `fields` as the exact modes would read K from them: with --divide-by alone in the approx
  // mode a Const of 1 and a DivideBy of D; otherwise `fields` themselves. The review of an
  // approximation reads them.
  RequestFields exact_fields;
};

// Builds the form the options stand for (Const, DivideBy, Result as result_asked says, Bits,
// ConstErr when --error is given, Acc, Temp, endian, Core when --core is given, and Ram,
// empty without --ram: the tool is a current client, whose block says where its registers
// go) and reads and checks it as the CGI program does. --divide-by D alone in the approx mode keeps
// its own reading: the constant is 1/D divided in double precision, i.e. the double nearest to the
// reciprocal of D as read (D = 0 gives an infinite constant, error 5; a negative D error 2).
// Everywhere else
// --divide-by is the form's DivideBy field, with a Const of 1 when --const is not given.
// Requires: options.action is kGenerate.
CliRequest make_cli_request(const CliOptions& options);

}  // namespace tarvek

#endif  // TARVEK_CLI_CLI_REQUEST_H
