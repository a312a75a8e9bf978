// The form page as a person meets it: labelled fields with their defaults and ranges, the
// kinds of result, no outside resources, and without JavaScript the plain post of today.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { join } from 'node:path';
import { artifacts, baseUrl, directPage, formUrl, launch, postedDefaults, withoutTime } from './support.mjs';

let browser;
before(async () => {
  browser = await launch();
});
after(async () => {
  await browser?.close();
});

// Every field is found through its visible label, which is how assistive technology finds it.
const labels = [
  { field: 'Const', label: 'Multiply by', range: /greater than 0 and at most 2147483648/ },
  { field: 'DivideBy', label: 'Divided by', range: /fraction of two positive integers/ },
  { field: 'ConstErr', label: 'Allowed error (%)', range: /0 to 50 percent/ },
  { field: 'Bits', label: 'Input size (bits)', range: /1 to 32 bits/ },
  { field: 'Acc', label: 'Input and result register', range: /at most 31 characters/ },
  { field: 'Temp', label: 'Temporary register', range: /at most 31 characters/ },
  { field: 'Rem', label: 'Remainder register', range: /^Optional, with an exact result rounded down or toward zero/ },
  { field: 'Ram', label: 'RAM address', range: /0 to 0x1FF.*in the bank selected when the routine runs/s },
  { field: 'Label', label: 'Label prefix', range: /at most 24 characters.*never clash/s },
];

test('the form shows every field with its label, default and range', async () => {
  const page = await browser.newPage({ viewport: { width: 1000, height: 900 } });
  const requests = [];
  page.on('request', (request) => requests.push(request.url()));
  const response = await page.goto(formUrl);
  assert.equal(response.status(), 200);
  assert.equal(await page.title(), 'PIC16 multiply-by-constant code generator');

  for (const { field, label, range } of labels) {
    const input = page.getByLabel(label, { exact: true });
    assert.equal(await input.getAttribute('name'), field, `${label} posts ${field}`);
    assert.equal(await input.inputValue(), postedDefaults[field], `${field} default`);
    const hintId = await input.getAttribute('aria-describedby');
    assert.match(await page.locator(`#${hintId}`).innerText(), range, `${field} range`);
  }
  const big = page.getByRole('radio', { name: /Big-endian/ });
  const little = page.getByRole('radio', { name: /Little-endian/ });
  assert.equal(await big.getAttribute('value'), 'big');
  assert.equal(await little.getAttribute('value'), 'little');
  assert.ok(await big.isChecked(), 'big-endian is the default');
  assert.equal(await page.getByRole('radiogroup', { name: 'Byte order' }).count(), 1);
  const kinds = page.getByRole('radiogroup', { name: 'Kind of result' }).getByRole('radio');
  assert.deepEqual(await kinds.evaluateAll((radios) => radios.map((r) => [r.name, r.value, r.checked])), [
    ['Result', 'approx', true], ['Result', 'floor', false], ['Result', 'nearest', false],
    ['Result', 'trunc', false], ['Result', 'digits', false],
  ]);
  const forms = page.getByRole('radiogroup', { name: 'Digit form' }).getByRole('radio');
  assert.deepEqual(await forms.evaluateAll((radios) => radios.map((r) => [r.name, r.value, r.checked])), [
    ['DigitForm', 'unpacked', true], ['DigitForm', 'ascii', false], ['DigitForm', 'packed', false],
  ]);
  const cores = page.getByRole('radiogroup', { name: 'Core' }).getByRole('radio');
  assert.deepEqual(await cores.evaluateAll((radios) => radios.map((r) => [r.name, r.value, r.checked])), [
    ['Core', 'midrange', true], ['Core', 'enhanced', false], ['Core', 'baseline', false],
    ['Core', 'pic18', false],
  ]);
  const goals = page.getByRole('radiogroup', { name: 'Optimise for' }).getByRole('radio');
  assert.deepEqual(await goals.evaluateAll((radios) => radios.map((r) => [r.name, r.value, r.checked])), [
    ['Optimize', 'speed', true], ['Optimize', 'size', false],
  ]);
  const wraps = page.getByRole('radiogroup', { name: 'Wrap' }).getByRole('radio');
  assert.deepEqual(await wraps.evaluateAll((radios) => radios.map((r) => [r.name, r.value, r.checked])), [
    ['Wrap', 'inline', true], ['Wrap', 'subroutine', false], ['Wrap', 'macro', false],
    ['Wrap', 'program', false],
  ]);
  const syntaxes = page.getByRole('radiogroup', { name: 'Assembler' }).getByRole('radio');
  assert.deepEqual(await syntaxes.evaluateAll((radios) => radios.map((r) => [r.name, r.value, r.checked])), [
    ['Syntax', 'mpasm', true], ['Syntax', 'pic-as', false], ['Syntax', 'gpasm-reloc', false],
  ]);
  const name = page.getByLabel('Name', { exact: true });
  assert.deepEqual([await name.getAttribute('name'), await name.inputValue()], ['Name', '']);
  const hints = [
    ['Exact, rounded down', /C's integer division gives for unsigned x/],
    ['Exact, rounded toward zero', /C's integer division gives for signed x/],
    ['Decimal digits', /^The input becomes its digits, in the base given in Divided by \(empty: 10\)/],
  ];
  for (const [name, text] of hints) {
    const hint = await page.getByRole('radio', { name }).getAttribute('aria-describedby');
    assert.match(await page.locator(`#${hint}`).innerText(), text, name);
  }
  // A box, clear by default, whose label and hint say what a tick means.
  const signed = page.getByRole('checkbox', { name: 'Signed input' });
  assert.deepEqual([await signed.getAttribute('name'), await signed.getAttribute('value')], ['Signed', '1']);
  assert.equal(await signed.isChecked(), false);
  const signedHint = await signed.getAttribute('aria-describedby');
  assert.match(await page.locator(`#${signedHint}`).innerText(),
    /^For an exact result: the input is a two's-complement value.* sign-extended through its bytes/);

  const form = page.locator('form');
  assert.equal(await form.getAttribute('action'), '/cgi-bin/tarvek.exe');
  assert.equal((await form.getAttribute('method')).toLowerCase(), 'post');
  assert.match(await page.locator('main').innerText(), /To divide, fill in Divided by/);

  // The page works offline: everything it loads comes from this server.
  assert.ok(requests.length >= 1);
  for (const url of requests) assert.ok(url.startsWith(baseUrl), `outside request: ${url}`);

  await page.screenshot({ path: join(artifacts, 'form.png'), fullPage: true });
  await page.close();
});

// A whole program is a PIC18 one: the choice is greyed until that core is chosen, and
// choosing another core again takes an inline routine.
test('the whole program is offered with the PIC18 core only', async () => {
  const page = await browser.newPage({ viewport: { width: 1000, height: 900 } });
  await page.goto(formUrl);
  const program = page.getByRole('radio', { name: 'Whole program' });
  assert.equal(await program.isDisabled(), true, 'greyed with the mid-range core');
  const hint = await page.getByRole('radio', { name: 'PIC18', exact: true }).getAttribute('aria-describedby');
  assert.match(await page.locator(`#${hint}`).innerText(), /hardware multiplier.*access bank/s);
  await page.getByRole('radio', { name: 'PIC18', exact: true }).check();
  assert.equal(await program.isDisabled(), false, 'offered with the PIC18 core');
  await program.check();
  await page.getByRole('radio', { name: 'Enhanced mid-range' }).check();
  assert.equal(await program.isDisabled(), true);
  assert.equal(await program.isChecked(), false);
  assert.equal(await page.getByRole('radio', { name: 'Inline' }).isChecked(), true);
  await page.close();
});

test('without JavaScript the form posts every field and gets the result page of today', async () => {
  const context = await browser.newContext({ javaScriptEnabled: false });
  const page = await context.newPage();
  await page.goto(formUrl);
  await page.getByLabel('Multiply by', { exact: true }).fill('7');
  const [response] = await Promise.all([
    page.waitForNavigation(),
    page.getByRole('button', { name: 'Generate code' }).click(),
  ]);
  assert.equal(response.status(), 200);
  assert.equal(new URL(response.url()).pathname, '/cgi-bin/tarvek.exe');
  const sent = new URLSearchParams(response.request().postData());
  assert.deepEqual(Object.fromEntries(sent), { ...postedDefaults, Const: '7' });
  // The later fields at their defaults leave the page as the six fields alone give it, but
  // for the lines on where the registers go that an empty Ram asks for.
  const { DivideBy, Result, DigitForm, Core, Rem, Ram, Optimize, Label, Wrap, Name, Syntax, ...six } =
    Object.fromEntries(sent);
  const served = withoutTime((await response.body()).toString('latin1'));
  assert.equal(served, withoutTime(directPage({ ...six, Ram })));
  const ramLines = /^; (Registers: |the first cblock|Every register here|common RAM).*\n/gm;
  assert.equal(served.match(ramLines).length, 4);
  assert.equal(served.replace(ramLines, ''), withoutTime(directPage(six)));
  assert.match(await page.locator('pre').innerText(), /^; ACC = ACC \* 7\.000000$/m);
  await context.close();
});
