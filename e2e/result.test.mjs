// Submitting the form in a browser without JavaScript (with it the page shows the answer in
// place): the result page carries exactly the routine the program prints for the same fields,
// whichever encoding the form uses, and a bad field leads to the numbered error page whose
// link returns to the form.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { join } from 'node:path';
import { artifacts, directPage, formUrl, launch, timeLines, withoutTime } from './support.mjs';

let browser;
let plain;
before(async () => {
  browser = await launch();
  plain = await browser.newContext({ javaScriptEnabled: false });
});
after(async () => {
  await browser?.close();
});

async function plainPage(viewport = { width: 1280, height: 720 }) {
  const page = await plain.newPage();
  await page.setViewportSize(viewport);
  return page;
}

// Fills the form through its labels, submits it and returns the page and the response.
async function submit(page, fields, { enctype } = {}) {
  await page.goto(formUrl);
  const byLabel = {
    Const: 'Multiply by',
    ConstErr: 'Allowed error (%)',
    Bits: 'Input size (bits)',
    Acc: 'Input and result register',
    Temp: 'Temporary register',
  };
  for (const [field, label] of Object.entries(byLabel)) {
    await page.getByLabel(label, { exact: true }).fill(fields[field]);
  }
  await page.getByRole('radio', { name: fields.endian === 'little' ? /Little-endian/ : /Big-endian/ }).check();
  if (fields.Core) {
    const cores = { enhanced: /^Enhanced mid-range/, baseline: /^Baseline/, midrange: /^Mid-range/ };
    await page.getByRole('radio', { name: cores[fields.Core] }).check();
  }
  if (enctype) await page.locator('form').evaluate((form, type) => (form.enctype = type), enctype);
  const [response] = await Promise.all([
    page.waitForNavigation(),
    page.getByRole('button', { name: 'Generate code' }).click(),
  ]);
  return response;
}

async function assertSameRoutine(page, response, fields) {
  assert.equal(response.status(), 200);
  const served = (await response.body()).toString('latin1');
  const direct = directPage(fields);
  assert.equal(timeLines(served), 1, 'one time line in the stamp');
  assert.equal(withoutTime(served), withoutTime(direct), 'served page equals the program output');
  // The routine is visible as text, starting with its comment block.
  const shown = await page.locator('pre').innerText();
  const title = `; ${fields.Acc} = ${fields.Acc} * ${Number(fields.Const).toFixed(6)}`;
  assert.equal(shown.split('\n')[0], title);
  assert.match(shown, /^; ALGORITHM:$/m);
  assert.match(shown, new RegExp(`^; Input:  ${fields.Acc}0`, 'm'));
}

// Fields in the order the form sends them, so the reference request matches the browser's.
// The form sends Ram, empty: its routine says where the registers go.
const rows = [
  { name: 'the form defaults', fields: { Const: '10', ConstErr: '0', Bits: '8', Acc: 'ACC', Temp: 'TEMP', Ram: '', endian: 'big' } },
  { name: 'a 16-bit little-endian fraction', fields: { Const: '0.1', ConstErr: '1', Bits: '16', Acc: 'Value', Temp: 'Scratch', Ram: '', endian: 'little' } },
  { name: 'the heavy 32-bit request', fields: { Const: '3.14159265', ConstErr: '0', Bits: '32', Acc: 'ACC', Temp: 'TEMP', Ram: '', endian: 'big' } },
  { name: 'the enhanced core', fields: { Const: '0.1', ConstErr: '0', Bits: '16', Acc: 'ACC', Temp: 'TEMP', Ram: '', endian: 'big', Core: 'enhanced' } },
  { name: 'the baseline core', fields: { Const: '0.1', ConstErr: '0', Bits: '16', Acc: 'ACC', Temp: 'TEMP', Ram: '', endian: 'big', Core: 'baseline' } },
];

for (const { name, fields } of rows) {
  test(`submitting ${name} shows the program's routine`, async () => {
    const page = await plainPage({ width: 1000, height: 900 });
    const response = await submit(page, fields);
    await assertSameRoutine(page, response, fields);
    if (fields.Core === 'enhanced') {
      const shown = await page.locator('pre').innerText();
      assert.match(shown, /^; Core: enhanced mid-range \(PIC16F1xxx\)$/m);
      assert.match(shown, /^\taddwfc\t/m);
    }
    if (fields.Core === 'baseline') {
      const shown = await page.locator('pre').innerText();
      assert.match(shown, /^; Core: baseline \(PIC10F, PIC12F5xx, PIC16F5x\)$/m);
      assert.match(shown, /^; RAM: 4 bytes \(ACC0 \.\. ACC1, temporary TEMP0 \.\. TEMP1\)$/m);
    }
    if (name === 'the form defaults') {
      const shown = await page.locator('pre').innerText();
      assert.match(shown, /^; Add input \* 8 to accumulator$/m);
      assert.match(shown, /^; Add input \* 2 to accumulator$/m);
      await page.screenshot({ path: join(artifacts, 'page-result.png'), fullPage: true });
    }
    await page.close();
  });
}

test('the same form sent as multipart/form-data gives the same routine', async () => {
  const page = await plainPage();
  const fields = rows[1].fields;
  const response = await submit(page, fields, { enctype: 'multipart/form-data' });
  assert.match(response.request().headers()['content-type'], /^multipart\/form-data; boundary=/);
  await assertSameRoutine(page, response, fields);
  await page.close();
});

test('a Bits of 40 gives error page #1, whose link returns to the form', async () => {
  const page = await plainPage({ width: 1000, height: 600 });
  const response = await submit(page, {
    Const: '10', ConstErr: '0', Bits: '40', Acc: 'ACC', Temp: 'TEMP', endian: 'big',
  });
  assert.equal(response.status(), 200);
  assert.equal(await page.locator('h1').innerText(), '#1 Error in input');
  assert.match(await page.locator('body').innerText(), /Input size out of range \(1\.\.32 bits\)\./);
  assert.equal(await page.locator('pre').count(), 0, 'no routine on the error page');
  await page.screenshot({ path: join(artifacts, 'page-error.png'), fullPage: true });

  await Promise.all([page.waitForNavigation(), page.getByRole('link', { name: 'Back to form' }).click()]);
  assert.equal(page.url(), formUrl);
  assert.equal(await page.getByLabel('Input size (bits)').count(), 1);
  await page.close();
});

test('a register name holding markup is shown as text and never runs', async () => {
  const page = await plainPage();
  const dialogs = [];
  page.on('dialog', async (dialog) => {
    dialogs.push(dialog.message());
    await dialog.dismiss();
  });
  const acc = 'A<img src=x onerror=alert(1)>';
  const response = await submit(page, {
    Const: '10', ConstErr: '0', Bits: '8', Acc: acc, Temp: 'TEMP', endian: 'big',
  });
  assert.equal(response.status(), 200);
  assert.equal(await page.locator('pre img').count(), 0, 'no element made from the name');
  const shown = await page.locator('pre').innerText();
  assert.equal(shown.split('\n')[0], `; ${acc} = ${acc} * 10.000000`);
  assert.deepEqual(dialogs, []);
  await page.close();
});
