// Shared set-up of the browser tests: where the server and the program are, a chromium
// launched from Debian's package, and the program's own page for comparison.
//
// scripts/test-browser starts the server and sets TARVEK_URL (its address), TARVEK_PROGRAM
// (the program it serves) and TARVEK_ASM (the command-line tool) before it runs
// `node --test e2e/`.
import { execFileSync } from 'node:child_process';
import { mkdirSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

function required(name) {
  const value = process.env[name];
  if (!value) throw new Error(`${name} is not set; run the browser tests through scripts/test-browser`);
  return value;
}

export const baseUrl = required('TARVEK_URL').replace(/\/$/, '');
export const program = required('TARVEK_PROGRAM');
export const tool = required('TARVEK_ASM');
export const formUrl = `${baseUrl}/tarvek.htm`;

// Screenshots are kept for people to look at after a run; e2e/artifacts/ is not committed.
export const artifacts = join(dirname(fileURLToPath(import.meta.url)), 'artifacts');
mkdirSync(artifacts, { recursive: true });

// Playwright's own browser download does not work offline, so Debian's chromium is driven
// instead. Without the networking flags it keeps trying to reach update and sync services.
export function launch() {
  return chromium.launch({
    executablePath: process.env.TARVEK_CHROMIUM || '/usr/bin/chromium',
    args: [
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
}

// The form's fields with their defaults. Ram is always sent, empty unless an address is
// given: the form is a current client, whose routine says where its registers go. Wrap, Name
// and Syntax at their defaults leave the routine as it is without them.
export const defaults = {
  Const: '10', DivideBy: '', Result: 'approx', ConstErr: '0', Bits: '8', Acc: 'ACC', Temp: 'TEMP', Ram: '',
  endian: 'big', Core: 'midrange', Optimize: 'speed', Label: '', Wrap: 'inline', Name: '',
  Syntax: 'mpasm',
};
// Without a script nothing is greyed, so the post carries the remainder register and the digit
// form as well: empty and unpacked, which leave the routine as it is without them.
export const postedDefaults = { ...defaults, Rem: '', DigitForm: 'unpacked' };

// The body of what the program prints for these fields (an object or a query string) when
// started as lighttpd starts it for a GET request, without the CGI header that lighttpd turns
// into HTTP headers.
export function directPage(fields) {
  const query = new URLSearchParams(fields).toString();
  const out = execFileSync(program, [], {
    env: { REQUEST_METHOD: 'GET', QUERY_STRING: query, CONTENT_LENGTH: '0', GATEWAY_INTERFACE: 'CGI/1.1' },
    input: '',
    encoding: 'latin1',
  });
  const end = out.indexOf('\n\n');
  if (end < 0) throw new Error(`no CGI header in the program's output:\n${out.slice(0, 300)}`);
  return out.slice(end + 2);
}

// The text answer (the routine as tarvek-asm prints it, or the one-line numbered message) and
// the JSON answer, parsed.
export const directText = (fields) => directPage({ ...fields, format: 'text' });
export const directJson = (fields) => JSON.parse(directPage({ ...fields, format: 'json' }));

// The stamp's time line is the one part of a result page that changes between runs.
const timeLine = /^; (Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d\d \d\d:\d\d:\d\d \d{4}$/;
export function withoutTime(page) {
  return page.split('\n').filter((line) => !timeLine.test(line)).join('\n');
}
export function timeLines(page) {
  return page.split('\n').filter((line) => timeLine.test(line)).length;
}

// What tarvek-asm prints with these arguments.
export function toolText(args) {
  return execFileSync(tool, args, { encoding: 'latin1' });
}
