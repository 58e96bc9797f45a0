// The page as a person uses it: real mouse, keyboard, file pickers and downloads.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { session, ROOT, DEMO_LABELS, RED, GREEN, YELLOWISH, is, labelsAre, box, downloaded, choose,
  openPage as open } from './harness.mjs';

const s = session();

async function openPage() {
  const { page, map } = await open(await s.browser.newPage({ viewport: { width: 660, height: 500 } }),
    s.url);
  map.move = (x, y) => page.mouse.move(...map.at(x, y));
  map.click = (x, y, button = 'left') => page.mouse.click(...map.at(x, y), { button });
  return { page, map };
}

async function menu(page, name, item) {
  await page.getByRole('button', { name }).click();
  await page.getByRole('button', { name: item }).click();
}

test('a wave dropped on a row loads; a broken one gives the loader\'s message', { timeout: 20000 }, async () => {
  const { page } = await openPage();
  const drop = await page.evaluateHandle(async () => {
    const dt = new DataTransfer();
    dt.items.add(new File([await (await fetch('demo/CP.WAV')).blob()], 'clap.wav'));
    return dt;
  });
  await page.locator('.slot').nth(3).dispatchEvent('drop', { dataTransfer: drop });
  const withClap = DEMO_LABELS.with(3, 'CLAP.');
  await labelsAre(page, withClap);

  await choose(page, () => page.locator('.slot').nth(2).getByRole('button', { name: 'Load Wave' })
    .click(), { name: 'broken.wav', mimeType: 'audio/wav',
    buffer: Buffer.from('RIFF\x04\x00\x00\x00WAVE', 'latin1') });
  assert.deepEqual(await box(page, 'OK'),
    { caption: 'Mixorama V\u00b01.00', text: 'Error reading file (2)' });
  await labelsAre(page, withClap.with(2, ''));
  await page.close();
});

test('the demo set mixes under the mouse and plays; a saved setup loads back after the rate question emptied the slots', { timeout: 20000 }, async () => {
  const { page, map } = await openPage();
  await map.move(175, 175);
  await map.move(87, 3); // next to slot 1's point
  await map.square(1, YELLOWISH);
  await page.getByRole('button', { name: 'Press here to play' }).click();
  await page.getByRole('button', { name: 'Press here to cut sound' }).waitFor();
  await map.move(87, 3); // back from the button: the mix goes live when the mouse enters
  await page.screenshot({ path: join(ROOT, 'docs/web-screenshot.png') });
  await map.click(87, 3); // slot 1 locked
  await page.keyboard.down('7');
  await map.click(175, 175, 'right'); // slot 7 muted
  await page.keyboard.up('7');
  await map.square(7, is(GREEN));
  const saved = await downloaded(page, () => menu(page, 'System', 'Save a file'));

  await menu(page, 'Frequency', '22050');
  const question = await box(page, 'Yes');
  assert.equal(question.caption, '');
  assert.match(question.text, /^All the waves will be unloaded\nbefore changing frequency\./);
  await labelsAre(page, Array(8).fill(''));

  await choose(page, () => menu(page, 'System', 'Load a file'),
    { name: 'MIXORAMA.ST', mimeType: 'text/plain', buffer: saved });
  await labelsAre(page, DEMO_LABELS.map((name) => name.slice(0, -3))); // as later loads show them
  assert.deepEqual(await map.square(1, () => true), RED);
  assert.deepEqual(await map.square(7, () => true), GREEN);
  const again = await downloaded(page, () => menu(page, 'System', 'Save a file'));
  assert.equal(again.toString('latin1'), saved.toString('latin1'));
  await page.close();
});
