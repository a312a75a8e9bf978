// The form page as a person meets it: labelled fields with their defaults and ranges, no
// outside resources, the optional divide-by helper, and a screenshot for review.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { join } from 'node:path';
import { artifacts, baseUrl, defaults, formUrl, launch } from './support.mjs';

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
  { field: 'ConstErr', label: 'Allowed error (%)', range: /0 to 50 percent/ },
  { field: 'Bits', label: 'Input size (bits)', range: /1 to 32 bits/ },
  { field: 'Acc', label: 'Input and result register', range: /at most 31 characters/ },
  { field: 'Temp', label: 'Temporary register', range: /at most 31 characters/ },
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
    assert.equal(await input.inputValue(), defaults[field], `${field} default`);
    const hintId = await input.getAttribute('aria-describedby');
    assert.match(await page.locator(`#${hintId}`).innerText(), range, `${field} range`);
  }
  const big = page.getByRole('radio', { name: /Big-endian/ });
  const little = page.getByRole('radio', { name: /Little-endian/ });
  assert.equal(await big.getAttribute('value'), 'big');
  assert.equal(await little.getAttribute('value'), 'little');
  assert.ok(await big.isChecked(), 'big-endian is the default');
  assert.equal(await page.getByRole('radiogroup', { name: 'Byte order' }).count(), 1);

  const form = page.locator('form');
  assert.equal(await form.getAttribute('action'), '/cgi-bin/tarvek.exe');
  assert.equal((await form.getAttribute('method')).toLowerCase(), 'post');
  assert.match(await page.locator('main').innerText(), /multiply by its reciprocal/);

  // The page works offline: everything it loads comes from this server.
  assert.ok(requests.length >= 1);
  for (const url of requests) assert.ok(url.startsWith(baseUrl), `outside request: ${url}`);

  await page.screenshot({ path: join(artifacts, 'form.png'), fullPage: true });
  await page.close();
});

test('the divide-by helper fills in the reciprocal', async () => {
  const page = await browser.newPage();
  await page.goto(formUrl);
  const divisor = page.getByLabel('Or divide by');
  const constant = page.getByLabel('Multiply by', { exact: true });

  await divisor.fill('10');
  assert.equal(await constant.inputValue(), '0.1');
  await divisor.fill('3');
  assert.equal(Number(await constant.inputValue()), 1 / 3);
  // A divisor that has no reciprocal leaves the last constant alone and says why.
  await divisor.fill('0');
  assert.equal(Number(await constant.inputValue()), 1 / 3);
  assert.match(await page.locator('#divisor-hint').innerText(), /greater than 0/);
  // The helper has no name, so it never reaches the program.
  assert.equal(await divisor.getAttribute('name'), null);
  await page.close();
});

test('without JavaScript the helper is hidden and the form still posts', async () => {
  const context = await browser.newContext({ javaScriptEnabled: false });
  const page = await context.newPage();
  await page.goto(formUrl);
  assert.equal(await page.locator('#divide-helper').isVisible(), false);
  await page.getByLabel('Multiply by', { exact: true }).fill('7');
  const [response] = await Promise.all([
    page.waitForNavigation(),
    page.getByRole('button', { name: 'Generate code' }).click(),
  ]);
  assert.equal(response.status(), 200);
  assert.equal(new URL(response.url()).pathname, '/cgi-bin/tarvek.exe');
  assert.match(await page.locator('pre').innerText(), /^; ACC = ACC \* 7\.000000$/m);
  await context.close();
});
