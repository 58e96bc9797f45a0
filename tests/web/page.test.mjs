// The page as a person uses it: the real mouse and keyboard on the map and the panel, the
// real file pickers and downloads, in headless chromium with a running audio context.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { serve, launch, ROOT } from './harness.mjs';

const DEMO_LABELS = ['BD7525.', 'CP.', 'MA.', 'LT50.', 'SD0010.', 'BD7525.', 'CH.', 'HC50.'];
const RED = [255, 0, 0];
const GREEN = [0, 255, 0];
const YELLOWISH = (c) => c[0] > 200 && c[1] > 200 && c[2] < 60; // a slot near full level

let web;
let chromium;
before(async () => {
  web = await serve();
  chromium = await launch();
});
after(async () => {
  await chromium?.close();
  web?.server.close();
});

async function openPage() {
  const page = await chromium.newPage();
  await page.setViewportSize({ width: 660, height: 500 });
  await page.goto(web.url);
  await page.waitForFunction((n) => document.querySelectorAll('.slot .label')[7]?.textContent === n,
    DEMO_LABELS[7]);
  const box = await page.locator('#canvas').boundingBox();
  const map = {
    move: (x, y) => page.mouse.move(box.x + x, box.y + y),
    click: async (x, y, button = 'left') => {
      await page.mouse.move(box.x + x, box.y + y);
      await page.mouse.click(box.x + x, box.y + y, { button });
    },
    // The colour of slot n's square (1..8) as drawn, once it satisfies ok.
    square: async (n, ok) => {
      const [sx, sy] = [[87, 10], [10, 87], [10, 262], [87, 340], [262, 340], [340, 262],
        [340, 87], [262, 10]][n - 1];
      for (;;) {
        const c = await page.evaluate(([x, y]) => [...document.getElementById('canvas')
          .getContext('2d').getImageData(x, y, 1, 1).data.slice(0, 3)], [sx, sy]);
        if (ok(c)) return c;
        await page.waitForTimeout(20);
      }
    },
  };
  return { page, map };
}

const labels = (page) => page.$$eval('.slot .label', (l) => l.map((x) => x.textContent));

// The open modal box: its caption and text; answer clicks one of its buttons.
async function box(page, answer) {
  const dialog = page.locator('dialog[open]');
  await dialog.waitFor();
  const seen = { caption: await dialog.locator('.caption').textContent(),
    text: await dialog.locator('.text').textContent() };
  await dialog.getByRole('button', { name: answer, exact: true }).click();
  return seen;
}

async function downloaded(page, action) {
  const [download] = await Promise.all([page.waitForEvent('download'), action()]);
  return readFileSync(await download.path());
}

test('the demo set mixes under the mouse and sounds after play; Record downloads it', { timeout: 20000 }, async () => {
  const { page, map } = await openPage();
  assert.deepEqual(await labels(page), DEMO_LABELS);
  await map.move(175, 175);
  await map.move(87, 3); // next to slot 1's point
  await map.square(1, YELLOWISH);
  await page.locator('#record').click();
  await page.getByRole('button', { name: 'Press here to play' }).click();
  await page.getByRole('button', { name: 'Press here to cut sound' }).waitFor();
  await map.move(87, 3); // back from the button: the mix goes live when the mouse enters
  // Record until the recording holds sound: the onset is found in the data itself.
  let wav;
  for (let heard = false; !heard;) {
    await page.waitForTimeout(200);
    wav = await downloaded(page, () => page.locator('#record').click());
    const pcm = new Int16Array(wav.buffer.slice(wav.byteOffset + 44, wav.byteOffset + wav.length));
    heard = pcm.some((v) => Math.abs(v) > 1000);
    if (!heard) await page.locator('#record').click();
  }
  assert.equal(wav.toString('latin1', 0, 4), 'RIFF');
  assert.equal(wav.readUInt32LE(24), 11025); // the output rate
  assert.equal(wav.readUInt16LE(22), 2);
  assert.equal(wav.readUInt16LE(34), 16);
  assert.equal(wav.readUInt32LE(40), wav.length - 44);
  await page.screenshot({ path: join(ROOT, 'docs/web-screenshot.png') });
  await page.close();
});

test('clicks lock and mute, a held slot key picks the slot', { timeout: 20000 }, async () => {
  const { page, map } = await openPage();
  await map.click(87, 3);
  await map.square(1, (c) => c.join() === RED.join());
  await page.keyboard.down('5'); // slot 5's point is far from the cursor
  await map.click(87, 3, 'right');
  await page.keyboard.up('5');
  await map.square(5, (c) => c.join() === GREEN.join());
  assert.deepEqual(await map.square(1, () => true), RED);
  await page.close();
});

test('a wave dropped on a row loads; a broken one gives the loader\'s message', { timeout: 20000 }, async () => {
  const { page } = await openPage();
  const clap = readFileSync(join(ROOT, 'build/web/demo/CP.WAV')).toString('base64');
  const drop = await page.evaluateHandle((b64) => {
    const dt = new DataTransfer();
    dt.items.add(new File([Uint8Array.from(atob(b64), (c) => c.charCodeAt(0))], 'clap.wav'));
    return dt;
  }, clap);
  await page.locator('.slot').nth(3).dispatchEvent('drop', { dataTransfer: drop });
  await page.waitForFunction(() => document.querySelectorAll('.slot .label')[3].textContent === 'CLAP.');

  const [chooser] = await Promise.all([page.waitForEvent('filechooser'),
    page.locator('.slot').nth(2).getByRole('button', { name: 'Load Wave' }).click()]);
  await chooser.setFiles({ name: 'broken.wav', mimeType: 'audio/wav',
    buffer: Buffer.from('RIFF\x04\x00\x00\x00WAVE', 'latin1') });
  assert.deepEqual(await box(page, 'OK'),
    { caption: 'Mixorama V\u00b01.00', text: 'Error reading file (2)' });
  assert.equal((await labels(page))[2], '');
  await page.close();
});

test('a saved setup loads back after the rate question emptied the slots', { timeout: 20000 }, async () => {
  const { page, map } = await openPage();
  await map.click(87, 3); // slot 1 locked
  await page.keyboard.down('7');
  await map.click(175, 175, 'right'); // slot 7 muted
  await page.keyboard.up('7');
  await map.square(7, (c) => c.join() === GREEN.join());
  const saved = await downloaded(page, async () => {
    await page.getByRole('button', { name: 'System' }).click();
    await page.getByRole('button', { name: 'Save a file' }).click();
  });
  assert.match(saved.toString('latin1'), /slot1\.locked = 1[^]*slot7\.muted = 1/);

  await page.getByRole('button', { name: 'Frequency' }).click();
  await page.getByRole('button', { name: '22050' }).click();
  const question = await box(page, 'Yes');
  assert.equal(question.caption, '');
  assert.match(question.text, /^All the waves will be unloaded\nbefore changing frequency\./);
  await page.waitForFunction(() => [...document.querySelectorAll('.slot .label')]
    .every((l) => l.textContent === ''));

  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), (async () => {
    await page.getByRole('button', { name: 'System' }).click();
    await page.getByRole('button', { name: 'Load a file' }).click();
  })()]);
  await chooser.setFiles({ name: 'MIXORAMA.ST', mimeType: 'text/plain', buffer: saved });
  await page.waitForFunction((n) => document.querySelector('.slot .label').textContent === n,
    DEMO_LABELS[0]);
  assert.deepEqual(await labels(page), DEMO_LABELS);
  assert.deepEqual(await map.square(1, () => true), RED);
  assert.deepEqual(await map.square(7, () => true), GREEN);
  const again = await downloaded(page, async () => {
    await page.getByRole('button', { name: 'System' }).click();
    await page.getByRole('button', { name: 'Save a file' }).click();
  });
  assert.equal(again.toString('latin1'), saved.toString('latin1'));
  await page.close();
});
