// The form as a workbench, with JavaScript: the answer shown in place under the form, its copy
// equal to the program's own text answer and its download to tarvek-asm's output, a refusal
// beside its field, and an address that reproduces the request. The programs' answers for the
// same request are the reference, so these tests follow whatever routine they write.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { after, before, test } from 'node:test';
import { join } from 'node:path';
import { artifacts, defaults, directJson, directText, formUrl, launch, toolText } from './support.mjs';

let browser;
let context;
before(async () => {
  browser = await launch();
  context = await browser.newContext({
    viewport: { width: 1000, height: 900 },
    permissions: ['clipboard-read', 'clipboard-write'],
    acceptDownloads: true,
  });
});
after(async () => {
  await browser?.close();
});

const labels = {
  Const: 'Multiply by',
  DivideBy: 'Divided by',
  ConstErr: 'Allowed error (%)',
  Bits: 'Input size (bits)',
  Acc: 'Input and result register',
  Temp: 'Temporary register',
  Ram: 'RAM address',
  Label: 'Label prefix',
};

// An exact division by ten of a 16-bit input, and C's division by ten of a signed one.
const exact = { ...defaults, Const: '1', DivideBy: '10', Result: 'floor', Bits: '16' };
const signedTrunc = { ...exact, Result: 'trunc', Signed: '1' };

// Fills the form through its labels and asks for the answer; resolves once it is shown. The
// approximation is clicked first, a choice of result that keeps the form from choosing one
// for a divisor while the fields are filled.
async function generate(page, fields) {
  await page.goto(formUrl);
  await page.locator('input[name="Result"][value="approx"]').click();
  for (const [field, label] of Object.entries(labels)) {
    await page.getByLabel(label, { exact: true }).fill(fields[field]);
  }
  await page.locator(`input[name="Result"][value="${fields.Result}"]`).check();
  // After the result, which decides whether the box can be ticked and the remainder named.
  if (fields.Signed) await page.getByLabel('Signed input').check();
  if (fields.Rem) await page.getByLabel('Remainder register').fill(fields.Rem);
  await page.locator(`input[name="endian"][value="${fields.endian}"]`).check();
  await page.locator(`input[name="Core"][value="${fields.Core}"]`).check();
  await page.locator(`input[name="Optimize"][value="${fields.Optimize}"]`).check();
  // The assembler first: choosing a relocatable module may choose the wrap.
  await page.locator(`input[name="Syntax"][value="${fields.Syntax}"]`).check();
  await page.locator(`input[name="Wrap"][value="${fields.Wrap}"]`).check();
  await page.getByLabel('Name', { exact: true }).fill(fields.Name);
  await page.getByRole('button', { name: 'Generate code' }).click();
  await page.locator('#answer-routine:visible, .field-error, #answer-message.refused').first().waitFor();
}

// What the page sends for `fields`: an exact result leaves out the error it does not use.
function sentFields(fields) {
  const { ConstErr, ...rest } = fields;
  return fields.Result === 'approx' ? fields : rest;
}

async function assertShows(page, fields) {
  const text = directText(sentFields(fields));
  const json = directJson(sentFields(fields));
  assert.equal(await page.locator('#code').textContent(), text, 'the routine as the text answer');
  assert.equal(await page.locator('#code .comment').first().textContent(), text.split('\n')[0] + '\n');
  assert.match(await page.locator('#answer-message').innerText(),
    new RegExp(`^${json.instructions} instructions, ${json.cycles} cycles\\.`));
}

test('an exact request is shown in place and its address reproduces it', async () => {
  const page = await context.newPage();
  await generate(page, exact);
  assert.equal(new URL(page.url()).pathname, '/tarvek.htm', 'no new page');
  await assertShows(page, exact);
  const address = new URL(page.url()).searchParams;
  assert.deepEqual(Object.fromEntries(address), sentFields(exact));
  await page.screenshot({ path: join(artifacts, 'result.png'), fullPage: true });

  await page.reload();
  await page.locator('#answer-routine').waitFor();
  for (const [field, label] of Object.entries(labels)) {
    if (field !== 'ConstErr') assert.equal(await page.getByLabel(label, { exact: true }).inputValue(), exact[field]);
  }
  assert.ok(await page.getByRole('radio', { name: 'Exact, rounded down' }).isChecked());
  await assertShows(page, exact);
  await page.close();
});

test('an enhanced request is shown in place and saved under a name that says so', async () => {
  const page = await context.newPage();
  const enhanced = { ...defaults, Const: '0.1', Bits: '16', Core: 'enhanced' };
  await generate(page, enhanced);
  await assertShows(page, enhanced);
  assert.match(await page.locator('#code').textContent(), /^; Core: enhanced mid-range \(PIC16F1xxx\)$/m);
  const [download] = await Promise.all([
    page.waitForEvent('download'),
    page.getByRole('button', { name: 'Download .inc' }).click(),
  ]);
  assert.equal(download.suggestedFilename(), 'acc_x0.1_approx_enhanced.inc');
  await page.close();
});

test('a request for size shows a loop, its words and its range of cycles, and its label', async () => {
  const page = await context.newPage();
  const small = { ...exact, Bits: '8', Optimize: 'size', Label: 'tens_' };
  await generate(page, small);
  const text = directText(sentFields(small));
  const json = directJson(sentFields(small));
  assert.equal(await page.locator('#code').textContent(), text);
  assert.match(text, /^tens_\w+$/m);
  assert.match(text, /\tgoto\ttens_/);
  assert.ok(json.cycles_min < json.cycles_max, 'a loop takes longer for larger inputs');
  assert.match(await page.locator('#answer-message').innerText(),
    new RegExp(`^${json.words} words, ${json.cycles_min}\u2013${json.cycles_max} cycles\\.`));
  const [download] = await Promise.all([
    page.waitForEvent('download'),
    page.getByRole('button', { name: 'Download .inc' }).click(),
  ]);
  assert.match(download.suggestedFilename(), /_floor_size\.inc$/);
  await generate(page, { ...small, Label: '9x' });
  assert.match(await page.locator('#Label-error').innerText(), /^#32 Error in input: Label/);
  await page.close();
});

test('a baseline request is shown in place and saved under a name that says so', async () => {
  const page = await context.newPage();
  const baseline = { ...exact, Core: 'baseline' };
  await generate(page, baseline);
  await assertShows(page, baseline);
  const code = await page.locator('#code').textContent();
  assert.match(code, /^; Core: baseline \(PIC10F, PIC12F5xx, PIC16F5x\)$/m);
  assert.match(code, /^; RAM: \d+ bytes? \(/m);
  assert.doesNotMatch(code, /\taddlw\t/);
  const [download] = await Promise.all([
    page.waitForEvent('download'),
    page.getByRole('button', { name: 'Download .inc' }).click(),
  ]);
  assert.match(download.suggestedFilename(), /_baseline\.inc$/);
  await page.close();
});

// Generated once the pre-print check runs PIC18 code; until then the program refuses every
// PIC18 routine with #11.
test('a PIC18 request posts Core=pic18 and is saved under a name that says so', async () => {
  const page = await context.newPage();
  const asked = [];
  page.on('request', (request) => {
    if (request.url().includes('/cgi-bin/tarvek.exe')) asked.push(new URL(request.url()).searchParams);
  });
  const pic18 = { ...exact, Core: 'pic18' };
  await generate(page, pic18);
  assert.equal(asked.length, 1);
  assert.equal(asked[0].get('Core'), 'pic18');
  await assertShows(page, pic18);
  const code = await page.locator('#code').textContent();
  assert.match(code, /^; Core: PIC18 \(PIC18Fxxx\), registers in the access bank$/m);
  assert.match(code, /^; Every register here must lie in the access bank/m);
  assert.doesNotMatch(code, /banksel|\trlf\t|\tclrw$/m);
  assert.deepEqual(await download(page), ['acc_x1_div10_floor_pic18.inc',
    toolText(['--const', '1', '--divide-by', '10', '--result', 'floor', '--bits', '16', '--core', 'pic18'])]);
  await page.close();
});

test('a whole PIC18 program is saved as the .asm source tarvek-asm writes', async () => {
  const page = await context.newPage();
  const program = { ...exact, Core: 'pic18', Wrap: 'program' };
  await generate(page, program);
  await assertShows(page, program);
  const code = await page.locator('#code').textContent();
  assert.match(code, /^\tprocessor\t18f452\n\tinclude\t"p18f452\.inc"\n\n\tcblock 0x00$/m);
  assert.match(code, /^\tbra\t\$\n\n\tend\n$/m);
  assert.equal(await page.locator('#download').textContent(), 'Download .asm');
  assert.deepEqual(await download(page), ['acc_x1_div10_floor_pic18.asm',
    toolText(['--divide-by', '10', '--bits', '16', '--core', 'pic18', '--wrap', 'program'])]);
  await page.close();
});

test('a PIC18 address past the access bank and a PIC18 pic-as text are refused beside their fields', async () => {
  const page = await context.newPage();
  const past = { ...exact, Core: 'pic18', Ram: '0x80' };
  await generate(page, past);
  await page.locator('#Ram-error').waitFor();
  const ram = directText(sentFields(past)).trimEnd();
  assert.match(ram, /^#45 Error in input: With Core pic18 the registers must lie in the access bank/);
  assert.equal(await page.locator('#Ram-error').innerText(), ram);

  const picAs = { ...exact, Core: 'pic18', Syntax: 'pic-as' };
  await generate(page, picAs);
  await page.locator('#Syntax-error').waitFor();
  const syntax = directText(sentFields(picAs)).trimEnd();
  assert.match(syntax, /^#46 Error in input: /);
  assert.equal(await page.locator('#Syntax-error').innerText(), syntax);
  await page.close();
});

test('Copy puts exactly the routine on the clipboard', async () => {
  const page = await context.newPage();
  await generate(page, exact);
  // A real button: the keyboard reaches and presses it.
  await page.getByRole('button', { name: 'Copy' }).focus();
  await page.keyboard.press('Enter');
  await page.getByText('Copied.').waitFor();
  assert.equal(await page.evaluate(() => navigator.clipboard.readText()), directText(sentFields(exact)));
  await page.close();
});

test("Download .inc saves tarvek-asm's text under a name from the request", async () => {
  const page = await context.newPage();
  await generate(page, exact);
  const [download] = await Promise.all([
    page.waitForEvent('download'),
    page.getByRole('button', { name: 'Download .inc' }).click(),
  ]);
  assert.equal(download.suggestedFilename(), 'acc_x1_div10_floor.inc');
  assert.equal(readFileSync(await download.path(), 'latin1'),
    toolText(['--const', '1', '--divide-by', '10', '--result', 'floor', '--bits', '16']));
  await page.close();
});

test('a refused request shows its numbered message beside its field', async () => {
  const rows = [
    { field: 'Bits', fields: { ...defaults, Bits: '40' } },
    { field: 'Const', fields: { ...defaults, Const: '-3' } },
    { field: 'ConstErr', fields: { ...defaults, ConstErr: '51' } },
    { field: 'Acc', fields: { ...defaults, Acc: '9A' } },
    { field: 'Temp', fields: { ...defaults, Temp: 'ACC' } },
    { field: 'DivideBy', fields: { ...defaults, DivideBy: 'ten' } },
  ];
  const page = await context.newPage();
  for (const { field, fields } of rows) {
    await generate(page, fields);
    const line = directText(fields).trimEnd();
    assert.equal(await page.locator('.field-error').count(), 1, field);
    assert.equal(await page.locator(`#${field}-error`).innerText(), line, field);
    assert.equal(await page.locator(`#${field}`).getAttribute('aria-invalid'), 'true', field);
    const summary = await page.locator('#answer-message').innerText();
    assert.ok(summary.startsWith(`Refused at “${labels[field]}”: ${line}`), summary);
    assert.equal(await page.locator('#answer-routine').isVisible(), false, field);
    if (field === 'Bits') await page.screenshot({ path: join(artifacts, 'error.png'), fullPage: true });
  }
  await page.close();
});

test('the allowed error applies to the approximation only, a signed input to the exact results only', async () => {
  const page = await context.newPage();
  await page.goto(formUrl);
  const error = page.getByLabel(labels.ConstErr);
  const errorNote = page.getByText('Not used: an exact result has no error to allow.');
  const signed = page.getByLabel('Signed input');
  const signedNote = page.getByText('Not used: an approximation takes unsigned inputs only');
  // Each row chosen in turn, from the default approximation.
  const rows = [
    { result: 'Exact, rounded to nearest', approx: false },
    { result: 'Approximate within the allowed error', approx: true },
    { result: 'Exact, rounded toward zero', approx: false },
    { result: 'Exact, rounded down', approx: false },
  ];
  for (const { result, approx } of [{ result: 'the default', approx: true }, ...rows]) {
    if (result !== 'the default') await page.getByRole('radio', { name: result }).check();
    assert.equal(await error.isEnabled(), approx, result);
    assert.equal(await errorNote.isVisible(), !approx, result);
    assert.equal(await signed.isEnabled(), !approx, result);
    assert.equal(await signedNote.isVisible(), approx, result);
  }
  // The box is reached and ticked from the keyboard.
  await signed.focus();
  await page.keyboard.press('Space');
  assert.ok(await signed.isChecked());
  // A box ticked for an exact result is not sent with an approximation, which it would make
  // a refused request.
  await page.getByRole('radio', { name: 'Approximate within the allowed error' }).check();
  assert.ok(await signed.isChecked() && await signed.isDisabled());
  await page.getByRole('button', { name: 'Generate code' }).click();
  await page.locator('#answer-routine').waitFor();
  assert.deepEqual(Object.fromEntries(new URL(page.url()).searchParams), defaults);
  await assertShows(page, defaults);
  await page.close();
});

test("a signed trunc request is shown in place and downloaded as tarvek-asm's text", async () => {
  const page = await context.newPage();
  await generate(page, signedTrunc);
  await assertShows(page, signedTrunc);
  const json = directJson(sentFields(signedTrunc));
  assert.match(await page.locator('#answer-message').innerText(),
    new RegExp(`Result in ACC0, ACC1 \\(${json.output.bits} bits, two's complement\\)\\.$`));
  assert.deepEqual(Object.fromEntries(new URL(page.url()).searchParams), sentFields(signedTrunc));
  await page.screenshot({ path: join(artifacts, 'signed.png'), fullPage: true });
  const [download] = await Promise.all([
    page.waitForEvent('download'),
    page.getByRole('button', { name: 'Download .inc' }).click(),
  ]);
  assert.equal(download.suggestedFilename(), 'acc_x1_div10_trunc_signed.inc');
  assert.equal(readFileSync(await download.path(), 'latin1'),
    toolText(['--const', '1', '--divide-by', '10', '--result', 'trunc', '--signed', '--bits', '16']));
  await page.close();
});

test('a link asking for a signed input the program refuses shows the refusal beside the box', async () => {
  const rows = [
    { name: 'a signed approximation', fields: { ...signedTrunc, Result: 'approx', ConstErr: '0' }, disabled: true },
    { name: 'a Signed value that is no answer', fields: { ...signedTrunc, Signed: 'yes' }, disabled: false },
  ];
  const page = await context.newPage();
  for (const { name, fields, disabled } of rows) {
    const query = new URLSearchParams(fields).toString();
    await page.goto(`${formUrl}?${query}`);
    await page.locator('.field-error, #answer-routine:visible').first().waitFor();
    const line = directText(fields).trimEnd();
    assert.match(line, /^#(12|15) Error in input: /, name);
    const box = page.getByLabel('Signed input');
    assert.equal(await page.locator('.field-error').count(), 1, name);
    assert.equal(await page.locator('#Signed-error').innerText(), line, name);
    assert.equal(await box.getAttribute('aria-invalid'), 'true', name);
    assert.match(await box.getAttribute('aria-describedby'), /\bSigned-error\b/, name);
    assert.ok(await box.isChecked(), name);
    assert.equal(await box.isDisabled(), disabled, name);
    assert.ok((await page.locator('#answer-message').innerText()).startsWith(`Refused at “Signed input”: ${line}`), name);
    assert.deepEqual(Object.fromEntries(new URL(page.url()).searchParams), fields, `${name}: the link's request`);
    if (disabled) await page.screenshot({ path: join(artifacts, 'signed-refused.png'), fullPage: true });
  }
  await page.close();
});

test('markup in a register name stays text in place', async () => {
  const page = await context.newPage();
  const dialogs = [];
  page.on('dialog', async (dialog) => {
    dialogs.push(dialog.message());
    await dialog.dismiss();
  });
  // Without blanks, so that the name is one assembler token and the counts are known.
  const fields = { ...defaults, Acc: 'A<img/src=x/onerror=alert(1)>' };
  await generate(page, fields);
  assert.equal(await page.locator('#answer img').count(), 0);
  await assertShows(page, fields);
  assert.deepEqual(dialogs, []);
  await page.close();
});

// Where the routine appears: beside the form on a wide screen, both in view; on a narrow one
// the page scrolls down to it.
for (const viewport of [{ width: 1280, height: 800 }, { width: 390, height: 844 }]) {
  test(`at ${viewport.width} x ${viewport.height} the routine is in view after Generate`, async () => {
    const page = await context.newPage();
    await page.setViewportSize(viewport);
    await page.goto(formUrl);
    const button = page.getByRole('button', { name: 'Generate code' });
    await button.click();
    await page.locator('#answer-routine').waitFor();
    // The first lines of the routine, wherever the page put them, once a smooth scroll ends.
    await page.waitForFunction(() => {
      const box = document.getElementById('code').getBoundingClientRect();
      return box.top >= 0 && box.top + 60 <= innerHeight;
    }, null, { timeout: 5000 });
    if (viewport.width >= 1200) {
      // Side by side: the button that asked stays in view too, left of the routine.
      const buttonBox = await button.boundingBox();
      const codeBox = await page.locator('#code').boundingBox();
      const middle = buttonBox.y + buttonBox.height / 2;
      assert.ok(middle >= 0 && middle <= viewport.height, 'button in view');
      assert.ok(buttonBox.x + buttonBox.width <= codeBox.x, 'the form left of the routine');
    }
    assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth));
    await page.screenshot({ path: join(artifacts, `in-view-${viewport.width}.png`) });
    await page.close();
  });
}

test('every field error shows at once, and a clash of names says which names clash', async () => {
  const page = await context.newPage();
  const fields = { ...defaults, Const: '', Bits: '99' };
  await generate(page, fields);
  const errors = directJson(fields).errors;
  assert.deepEqual(errors.map((error) => error.field), ['Const', 'Bits']);
  assert.equal(await page.locator('.field-error').count(), 2);
  for (const error of errors) {
    assert.equal(await page.locator(`#${error.field}-error`).innerText(),
      `#${error.code} Error in input: ${error.message}`);
    assert.equal(await page.locator(`#${error.field}`).getAttribute('aria-invalid'), 'true');
  }
  assert.match(await page.locator('#answer-message').innerText(),
    /^Refused at “Multiply by”: #2 .* “Input size \(bits\)”: #1 /);
  await page.screenshot({ path: join(artifacts, 'two-errors.png'), fullPage: true });

  await generate(page, { ...defaults, Acc: 'X', Temp: 'X1' });
  assert.equal(await page.locator('#Temp-error').innerText(),
    '#4 Error in input: Input register X and temporary register X1 both have a byte named X10.');
  await page.close();
});

test('text after a number is flagged beside its field and nothing is sent', async () => {
  const page = await context.newPage();
  const asked = [];
  page.on('request', (request) => {
    if (request.url().includes('/cgi-bin/')) asked.push(request.url());
  });
  await page.goto(formUrl);
  await page.getByLabel(labels.Const, { exact: true }).fill('10abc');
  await page.getByLabel(labels.DivideBy, { exact: true }).fill('7/3x');
  await page.getByRole('button', { name: 'Generate code' }).click();
  await page.locator('#Const-error').waitFor();
  assert.match(await page.locator('#Const-error').innerText(), /^Text after the number: “abc”\./);
  assert.match(await page.locator('#DivideBy-error').innerText(), /^Text after the number: “x”\./);
  assert.equal(await page.getByLabel(labels.Const, { exact: true }).getAttribute('aria-invalid'), 'true');
  assert.match(await page.locator('#answer-message').innerText(), /^Not sent, see “Multiply by”: /);
  assert.deepEqual(asked, []);
  // Mended, it is sent; a fraction is a whole number.
  await page.getByLabel(labels.Const, { exact: true }).fill('22/7');
  await page.getByLabel(labels.DivideBy, { exact: true }).fill('');
  await page.getByRole('button', { name: 'Generate code' }).click();
  await page.locator('#answer-routine').waitFor();
  assert.equal(await page.locator('.field-error').count(), 0);
  assert.equal(asked.length, 1);
  await page.close();
});

test('a divisor or a fraction chooses the exact result rounded down until a kind is chosen', async () => {
  const page = await context.newPage();
  await page.goto(formUrl);
  const checked = () => page.locator('input[name="Result"]:checked').getAttribute('value');
  const divisor = page.getByLabel(labels.DivideBy, { exact: true });
  const constant = page.getByLabel(labels.Const, { exact: true });
  assert.equal(await checked(), 'approx');
  await divisor.fill('3');
  assert.equal(await checked(), 'floor');
  assert.ok(await page.getByText("Chosen for a division: C's integer division").isVisible());
  // A signed input is divided as C divides it, toward zero.
  await page.getByLabel('Signed input').check();
  assert.equal(await checked(), 'trunc');
  await page.getByLabel('Signed input').uncheck();
  await divisor.fill('');
  assert.equal(await checked(), 'approx');
  await constant.fill('22/7');
  assert.equal(await checked(), 'floor');
  await constant.fill('0.1');
  assert.equal(await checked(), 'approx');
  // Chosen by the person: kept, whatever is typed after.
  await page.getByRole('radio', { name: 'Exact, rounded to nearest' }).check();
  await divisor.fill('10');
  assert.equal(await checked(), 'nearest');
  await page.getByRole('radio', { name: 'Approximate within the allowed error' }).check();
  await divisor.fill('3');
  assert.equal(await checked(), 'approx');
  // The approximation says where it is not C's division, and what the exact routine costs.
  await constant.fill('1');
  await page.getByRole('button', { name: 'Generate code' }).click();
  await page.locator('#answer-routine').waitFor();
  const floor = directJson({ ...defaults, Const: '1', DivideBy: '3' }).approximation.floor;
  assert.equal(floor.exact, false);
  assert.match(await page.locator('#answer-message').innerText(),
    new RegExp(` Not exact: input 3 gives 0 where floor\\(x × 1/3\\) is 1; exact floor: ${floor.floor_instructions} instructions`));
  await page.close();
});

test('a RAM address places the cblock', async () => {
  const page = await context.newPage();
  const fields = { ...defaults, Ram: '0x20' };
  await generate(page, fields);
  await assertShows(page, fields);
  assert.match(await page.locator('#code').textContent(), /^\tcblock 0x20$/m);
  await generate(page, { ...defaults, Ram: '0x200' });
  assert.match(await page.locator('#Ram-error').innerText(), /^#16 Error in input: RAM address/);
  await page.close();
});

test('at 360 px the page does not scroll sideways, and Enter asks for the answer', async () => {
  const page = await context.newPage();
  await page.setViewportSize({ width: 360, height: 740 });
  await page.goto(formUrl);
  await page.getByLabel(labels.Bits).fill('32');
  await page.getByLabel(labels.Bits).press('Enter');
  await page.locator('#answer-routine').waitFor();
  assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth));
  await page.screenshot({ path: join(artifacts, 'narrow.png'), fullPage: true });
  await page.close();
});

test('a pic-as subroutine is shown in place and saved as the module tarvek-asm writes', async () => {
  const page = await context.newPage();
  const fields = { ...exact, Wrap: 'subroutine', Syntax: 'pic-as' };
  await generate(page, fields);
  await assertShows(page, fields);
  const code = await page.locator('#code').textContent();
  assert.match(code, /^acc_div10_floor:$/m);
  assert.match(code, /^\tPSECT\tudata_bank0$/m);
  assert.doesNotMatch(code, /cblock|D'/);
  assert.deepEqual(Object.fromEntries(new URL(page.url()).searchParams), sentFields(fields));
  const [download] = await Promise.all([
    page.waitForEvent('download'),
    page.getByRole('button', { name: 'Download .S' }).click(),
  ]);
  assert.equal(download.suggestedFilename(), 'acc_x1_div10_floor.S');
  assert.equal(readFileSync(await download.path(), 'latin1'),
    toolText(['--divide-by', '10', '--bits', '16', '--syntax', 'pic-as', '--wrap', 'subroutine']));
  await page.close();
});

test('choosing a relocatable module makes an inline routine a subroutine, saved as .asm', async () => {
  const page = await context.newPage();
  await page.goto(formUrl);
  const inline = page.getByRole('radio', { name: 'Inline' });
  assert.ok(await inline.isChecked());
  await page.getByRole('radio', { name: 'Relocatable gputils module' }).check();
  assert.ok(await page.getByRole('radio', { name: 'Subroutine' }).isChecked());
  assert.ok(await page.locator('#Wrap-note').isVisible());
  await page.getByRole('button', { name: 'Generate code' }).click();
  await page.locator('#answer-routine').waitFor();
  const fields = { ...defaults, Wrap: 'subroutine', Syntax: 'gpasm-reloc' };
  assert.deepEqual(Object.fromEntries(new URL(page.url()).searchParams), fields);
  await assertShows(page, fields);
  assert.equal(await page.locator('#download').textContent(), 'Download .asm');
  // A wrap chosen again is the person's choice: inline is asked, and refused beside the wrap.
  await inline.check();
  assert.ok(await page.locator('#Wrap-note').isHidden());
  await page.getByRole('button', { name: 'Generate code' }).click();
  await page.locator('#Wrap-error').waitFor();
  assert.equal(await page.locator('#Wrap-error').innerText(),
    directText({ ...fields, Wrap: 'inline' }).trimEnd());
  assert.match(await page.locator('#Wrap-error').innerText(), /^#43 Error in input: /);
  await page.close();
});

test('a link with a name no assembler takes shows the refusal beside the name', async () => {
  const page = await context.newPage();
  const fields = { ...exact, Wrap: 'macro', Name: 'movwf' };
  await page.goto(`${formUrl}?${new URLSearchParams(fields)}`);
  await page.locator('#Name-error').waitFor();
  const line = directText(fields).trimEnd();
  assert.match(line, /^#42 Error in input: /);
  assert.equal(await page.locator('#Name-error').innerText(), line);
  assert.equal(await page.getByLabel('Name', { exact: true }).inputValue(), 'movwf');
  await page.close();
});

// Saves the routine on show and returns the file's name and text.
async function download(page) {
  const [saved] = await Promise.all([
    page.waitForEvent('download'),
    page.locator('#download').click(),
  ]);
  return [saved.suggestedFilename(), readFileSync(await saved.path(), 'latin1')];
}

test('a remainder register is named beside the quotient, and a clash is refused beside it', async () => {
  const page = await context.newPage();
  const fields = { ...exact, Rem: 'REM' };
  await generate(page, fields);
  await assertShows(page, fields);
  assert.match(await page.locator('#code').textContent(), /^; Remainder: REM0\b/m);
  const { remainder } = directJson(sentFields(fields));
  if (remainder) {
    assert.match(await page.locator('#answer-message').innerText(),
      new RegExp(` Remainder in REM0 \\(${remainder.bits} bits\\)\\.`));
  }
  assert.deepEqual(await download(page), ['acc_x1_div10_floor_rem.inc', directText(sentFields(fields))]);
  // Rounded to nearest leaves no remainder: the field is greyed and not sent.
  await page.getByRole('radio', { name: 'Exact, rounded to nearest' }).check();
  assert.ok(await page.getByLabel('Remainder register').isDisabled());
  assert.ok(await page.locator('#Rem-note').isVisible());

  const clash = { ...exact, Rem: 'ACC' };
  await generate(page, clash);
  const line = directText(sentFields(clash)).trimEnd();
  assert.match(line, /^#19 Error in input: /);
  assert.equal(await page.locator('#Rem-error').innerText(), line);
  assert.equal(await page.getByLabel('Remainder register').getAttribute('aria-invalid'), 'true');
  await page.close();
});

test('digits are shown in place without the constant, and a form the base lacks is refused', async () => {
  const page = await context.newPage();
  await page.goto(formUrl);
  await page.getByRole('radio', { name: 'Decimal digits' }).check();
  assert.ok(await page.getByLabel(labels.Const, { exact: true }).isDisabled());
  assert.ok(await page.getByText('Not used: digits are made of the input itself.').isVisible());
  assert.ok(await page.getByLabel('Signed input').isDisabled());
  await page.getByLabel(labels.Bits).fill('16');
  await page.getByRole('button', { name: 'Generate code' }).click();
  await page.locator('#answer-routine').waitFor();
  // The constant and the error are left out, the digit form is sent.
  const { Const, ConstErr, ...rest } = defaults;
  const fields = { ...rest, Result: 'digits', DigitForm: 'unpacked', Bits: '16' };
  assert.deepEqual(Object.fromEntries(new URL(page.url()).searchParams), fields);
  const text = directText(fields);
  assert.equal(await page.locator('#code').textContent(), text);
  const json = directJson(fields);
  const message = await page.locator('#answer-message').innerText();
  assert.ok(message.startsWith(`${json.instructions} instructions, ${json.cycles} cycles.`), message);
  if (json.digits) assert.match(message, / 5 base-10 digits \(unpacked\) in ACC0, ACC1, ACC2, ACC3, ACC4\.$/);
  assert.deepEqual(await download(page), ['acc_digits10_unpacked.inc', text]);
  await page.screenshot({ path: join(artifacts, 'digits.png'), fullPage: true });

  // Packed digits are decimal ones: base 16 is refused beside the choice of form.
  await page.getByRole('radio', { name: 'Packed BCD' }).check();
  await page.getByLabel(labels.DivideBy, { exact: true }).fill('16');
  await page.getByRole('button', { name: 'Generate code' }).click();
  await page.locator('#DigitForm-error').waitFor();
  const line = directText({ ...fields, DivideBy: '16', DigitForm: 'packed' }).trimEnd();
  assert.match(line, /^#22 Error in input: /);
  assert.equal(await page.locator('#DigitForm-error').innerText(), line);
  assert.ok((await page.locator('#answer-message').innerText()).startsWith(`Refused at “Digit form”: ${line}`));
  await page.close();
});
