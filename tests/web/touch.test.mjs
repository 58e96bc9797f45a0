// The page on a phone and a tablet, played by touch alone through real multi-touch (CDP
// Input.dispatchTouchEvent). Each touch carries a time set by the test, a day ahead of the clock:
// what a gesture was follows from the events' own times, never from this machine's speed.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { session, ROOT, PHONE, RED, GREEN, YELLOWISH, is, midiStandIn, openPage } from './harness.mjs';

const s = session();
const TABLET = { viewport: { width: 1024, height: 768 }, hasTouch: true };
const LEVEL = (c) => !is(RED)(c) && !is(GREEN)(c); // neither locked nor muted
// Next to each slot's point on the map border, in map pixels.
const POINT = [null, [87, 3], [3, 87], [3, 262], [87, 347], [262, 347], [347, 262], [347, 87],
  [262, 3]];
const TOUCH = { down: 'touchStart', move: 'touchMove', up: 'touchEnd', cancel: 'touchCancel' };

// Steps of a gesture: [ms from its start, 'down' | 'move' | 'up' | 'cancel', finger, where,
// [dx, dy]]; where is a map position (shifted by dx, dy page pixels) or a locator (its centre),
// kept for 'up'; 'cancel' ends every finger. A gesture goes on over calls while a finger is down.
async function openDevice(device, midiAccess) {
  const context = await s.browser.newContext(device);
  if (midiAccess) await context.addInitScript(midiStandIn, midiAccess);
  const { page, map } = await openPage(await context.newPage(), s.url);
  const cdp = await context.newCDPSession(page);
  let start = Date.now() + 86400000; // ms; the next gesture starts 10 s later
  const fingers = new Map(); // id -> { id, x, y } in page pixels
  const gesture = async (steps) => {
    for (const [ms, what, id, where, [dx, dy] = [0, 0]] of steps) {
      const b = await where?.boundingBox?.();
      const [x, y] = b ? [b.x + b.width / 2, b.y + b.height / 2] : where ? map.at(...where) : [];
      if (where) fingers.set(id, { id, x: x + dx, y: y + dy });
      const touchPoints = { up: [fingers.get(id)], cancel: [] }[what] ?? [...fingers.values()];
      await cdp.send('Input.dispatchTouchEvent', { type: TOUCH[what], touchPoints,
        timestamp: (start + ms) / 1000 });
      if (what === 'up') fingers.delete(id);
      if (what === 'cancel') fingers.clear();
    }
    if (fingers.size === 0) start += 10000;
  };
  // Each square, read at once: valid when a later change has already been seen.
  const squares = () => Promise.all([1, 2, 3, 4, 5, 6, 7, 8].map((n) => map.square(n, () => true)));
  return { page, map, gesture, squares };
}

test('on a phone, by touch alone: play, mix, lock, mute, a slot picked by a held label or number, the timing', { timeout: 30000 }, async () => {
  const { page, map, gesture, squares } = await openDevice(PHONE);
  await page.getByRole('button', { name: 'Press here to play' }).tap();
  await page.getByRole('button', { name: 'Press here to cut sound' }).waitFor();
  // A finger down by slot 1's point brings it up, a second one dragged to slot 8's brings up 8,
  // the first one moved is the cursor again; a third one swiping the rows scrolls nothing.
  await gesture([[0, 'down', 1, POINT[1]]]);
  await map.square(1, YELLOWISH);
  await gesture([[20, 'down', 2, [175, 175]], [40, 'move', 2, [200, 100]], [60, 'move', 2, POINT[8]]]);
  await map.square(8, YELLOWISH);
  const row = page.locator('.slot .number').nth(5);
  await gesture([[80, 'down', 3, row], [100, 'move', 3, row, [0, -300]], [120, 'move', 1, POINT[1], [12, 0]]]);
  await map.square(1, YELLOWISH);
  await gesture([[140, 'up', 3], [160, 'up', 2], [180, 'up', 1]]);
  assert.equal(await page.evaluate(() => scrollY), 0);

  // Slot 5's label held, a tap by slot 1's point locks 5; slot 7's number held, a long press
  // there mutes 7; with no finger held no key is: a long press by slot 2's point mutes 2.
  const [label5, number7] = [page.locator('.slot .label').nth(4), page.locator('.mapnum').nth(6)];
  await gesture([[0, 'down', 1, label5], [50, 'down', 2, POINT[1]], [150, 'up', 2], [200, 'up', 1]]);
  await map.square(5, is(RED));
  await gesture([[0, 'down', 1, number7], [50, 'down', 2, POINT[1]], [600, 'up', 2], [650, 'up', 1]]);
  await map.square(7, is(GREEN));
  await gesture([[0, 'down', 1, POINT[2]], [600, 'up', 1]]);
  await map.square(2, is(GREEN));
  const mix = await squares();
  assert.deepEqual(mix.map((c, i) => [2, 5, 7].includes(i + 1) || LEVEL(c)), Array(8).fill(true));

  // Live at start; the program's timing by touch adds the ring's quarter second to the latency
  // shown and keeps the mix; and back.
  for (const [tap, pressed, slower] of [[0, 'true', false], [1, 'false', true], [1, 'true', false]]) {
    if (tap) await page.locator('#live').tap();
    await page.waitForFunction((p) => document.getElementById('live').ariaPressed === p, pressed);
    assert.equal(Number(/\d+/.exec(await page.locator('#latency').textContent())[0]) >= 250, slower);
    assert.deepEqual(await squares(), mix);
  }
  // A menu and its two boxes by touch.
  for (const name of ['Help', 'Using Mixorama', 'OK', 'OK']) await page.getByRole('button', { name }).tap();
  await page.locator('dialog[open]').waitFor({ state: 'detached' });
  await page.screenshot({ path: join(ROOT, 'docs/web-phone.png'), scale: 'css' });
  await page.context().close();
});

// A finger by each slot's point at the edges of a tap (300 ms, 10 px) and a long press (500 ms),
// and cancelled: the colour the slot ends in. Times keep 2 ms off the edges (events carry 0.1 ms).
const EDGES = [
  [1, [[0, 'down'], [298, 'up']], is(RED)],
  [2, [[0, 'down'], [302, 'up']], LEVEL],
  [3, [[0, 'down'], [100, 'move', [0, 9]], [200, 'up']], is(RED)],
  [4, [[0, 'down'], [100, 'move', [0, -10]], [200, 'up']], LEVEL],
  [5, [[0, 'down'], [498, 'up']], LEVEL],
  [6, [[0, 'down'], [502, 'up']], is(GREEN)],
  [7, [[0, 'down'], [100, 'cancel']], LEVEL],
];

test('taps, long presses and cancels are judged from the events\' times', { timeout: 30000 }, async () => {
  const { page, map, gesture, squares } = await openDevice(PHONE);
  for (const [slot, steps] of EDGES) {
    await gesture(steps.map(([ms, what, shift]) => [ms, what, 1, what === 'up' ? null : POINT[slot], shift]));
  }
  // A long press acts while the finger is still down (seen at its next event), and once only.
  await gesture([[0, 'down', 1, POINT[8]], [600, 'move', 1, POINT[8], [2, 0]]]);
  await map.square(8, is(GREEN));
  const seen = await squares();
  assert.deepEqual(EDGES.map(([slot, , ok]) => ok(seen[slot - 1])), EDGES.map(() => true),
    JSON.stringify(seen));
  await gesture([[700, 'up', 1], [800, 'down', 1, POINT[5]], [1400, 'up', 1]]);
  await map.square(5, is(GREEN));
  assert.deepEqual(await map.square(8, () => true), GREEN);
  await page.context().close();
});

// With the MIDI box open, saying that MIDI access was refused, or that there is no Web MIDI.
test('the layout: a phone scrolls only down to the rows, a tablet shows everything', { timeout: 20000 }, async () => {
  for (const [device, access, says] of [[PHONE, 'refuse', /^MIDI access was refused\./],
    [TABLET, 'none', /^This browser has no Web MIDI\./]]) {
    const { page } = await openDevice(device, access);
    await page.locator('#midi').tap();
    await page.locator('#midi-box .status', { hasText: says }).waitFor();
    const { width, height } = device.viewport; // the screen, whatever the page makes of it
    const seen = await page.evaluate((doc = document.documentElement) => ({
      scroll: [doc.scrollWidth, doc.scrollHeight],
      canvas: [document.getElementById('canvas').width, devicePixelRatio],
      map: document.getElementById('canvas').getBoundingClientRect().toJSON(),
      boxes: [...document.querySelectorAll('#menubar > *, #panel button, .label, .mapnum, #latency, #midi-box')]
        .map((el) => el.getBoundingClientRect().toJSON()) }));
    const within = (r, bottom) => r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= bottom;
    const map = seen.map;
    assert.equal(seen.scroll[0], width, 'no sideways scrolling');
    assert.ok(within(map, height) && map.width >= 300, 'the map whole on the screen');
    assert.equal(seen.canvas[0], Math.round(map.width * seen.canvas[1]), 'drawn in device pixels');
    // On the tablet every control on the screen; on the phone, a scroll down reaches each.
    if (device === TABLET) assert.equal(seen.scroll[1], height, 'no scrolling');
    assert.deepEqual(seen.boxes.filter((r) => !within(r, seen.scroll[1])), []);
    await page.context().close();
  }
});
