// The page on a phone and a tablet: played by touch alone, through real multi-touch (CDP
// Input.dispatchTouchEvent). Every touch event carries a time set by the test, a day ahead of
// the clock, so what a gesture was follows from the events' own times and never from how fast
// this machine runs them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { session, ROOT, RED, GREEN, YELLOWISH, is, openPage } from './harness.mjs';

const s = session();
const PHONE = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true,
  hasTouch: true };
const TABLET = { viewport: { width: 1024, height: 768 }, hasTouch: true };
const LEVEL = (c) => !is(RED)(c) && !is(GREEN)(c); // neither locked nor muted
// Next to each slot's point on the map border, in map pixels.
const POINT = [null, [87, 3], [3, 87], [3, 262], [87, 347], [262, 347], [347, 262], [347, 87],
  [262, 3]];

async function openDevice(device) {
  const context = await s.browser.newContext(device);
  const { page, map } = await openPage(await context.newPage(), s.url);
  const cdp = await context.newCDPSession(page);
  let start = Date.now() + 86400000; // ms: each gesture starts 10 s after the last one ended
  const fingers = new Map(); // id -> page position
  const points = () => [...fingers].map(([id, [x, y]]) => ({ id, x, y }));
  // Steps [ms from the gesture's start, 'down' | 'move' | 'up' | 'cancel', finger id, where]:
  // where is a map position ([x, y] in map pixels, and a shift [dx, dy] in page pixels) or a
  // locator (its centre); 'up' keeps the finger where it was, 'cancel' ends every finger. A
  // gesture goes on over several calls while a finger stays down.
  const gesture = async (steps) => {
    for (const [ms, what, id, where, [dx, dy] = [0, 0]] of steps) {
      if (where?.boundingBox) {
        const b = await where.boundingBox();
        fingers.set(id, [b.x + b.width / 2, b.y + b.height / 2]);
      } else if (where) {
        const [x, y] = map.at(...where);
        fingers.set(id, [x + dx, y + dy]);
      }
      const type = { down: 'touchStart', move: 'touchMove', up: 'touchEnd', cancel: 'touchCancel' }[what];
      let touchPoints = points();
      if (what === 'up') touchPoints = touchPoints.filter((p) => p.id === id);
      if (what === 'cancel') touchPoints = [];
      await cdp.send('Input.dispatchTouchEvent', { type, touchPoints, timestamp: (start + ms) / 1000 });
      if (what === 'up') fingers.delete(id);
      if (what === 'cancel') fingers.clear();
    }
    if (fingers.size === 0) start += 10000;
  };
  const tap = (slot, ms = 100) => gesture([[0, 'down', 1, POINT[slot]], [ms, 'up', 1]]);
  // Each square, read at once: valid when a later change has already been seen.
  const squares = () => Promise.all([1, 2, 3, 4, 5, 6, 7, 8].map((n) => map.square(n, () => true)));
  return { page, map, gesture, tap, squares };
}

test('on a phone, by touch alone: play, mix, lock, mute, a slot picked by a held label or number, the timing', { timeout: 30000 }, async () => {
  const { page, map, gesture, tap, squares } = await openDevice(PHONE);
  const latency = async () => Number(/\d+/.exec(await page.locator('#latency').textContent())[0]);
  assert.equal(await page.locator('#live').getAttribute('aria-pressed'), 'true'); // live at start
  await page.getByRole('button', { name: 'Press here to play' }).tap();
  await page.getByRole('button', { name: 'Press here to cut sound' }).waitFor();

  // A finger down by slot 1's point brings slot 1 up; a second one dragged to slot 8's point
  // brings up slot 8; the first one moved is the cursor again. A third finger swiping over the
  // rows meanwhile scrolls nothing.
  await gesture([[0, 'down', 1, POINT[1]]]);
  await map.square(1, YELLOWISH);
  await gesture([[20, 'down', 2, [175, 175]], [40, 'move', 2, [200, 100]], [60, 'move', 2, POINT[8]]]);
  await map.square(8, YELLOWISH);
  const row = page.locator('.slot .number').nth(5);
  await gesture([[80, 'down', 3, row], [100, 'move', 3, row, [0, -300]], [120, 'move', 1, POINT[1], [12, 0]]]);
  await map.square(1, YELLOWISH);
  await gesture([[140, 'up', 3], [160, 'up', 2], [180, 'up', 1]]);
  assert.equal(await page.evaluate(() => scrollY), 0);

  await tap(1); // locks slot 1
  await map.square(1, is(RED));
  // Slot 5's label held: a tap by slot 1's point locks slot 5 and leaves slot 1 as it was.
  const label5 = page.locator('.slot .label').nth(4);
  await gesture([[0, 'down', 1, label5], [50, 'down', 2, POINT[1]], [150, 'up', 2], [200, 'up', 1]]);
  await map.square(5, is(RED));
  // Slot 7's number beside the map held: a long press mutes slot 7.
  const number7 = page.locator('.mapnum').nth(6);
  await gesture([[0, 'down', 1, number7], [50, 'down', 2, POINT[1]], [600, 'up', 2], [650, 'up', 1]]);
  await map.square(7, is(GREEN));
  // Fingers lifted, no key stays held: a long press by slot 2's point mutes slot 2.
  await gesture([[0, 'down', 1, POINT[2]], [600, 'up', 1]]);
  await map.square(2, is(GREEN));
  assert.deepEqual((await squares()).map((c, i) => [1, 2, 5, 7].includes(i + 1) || LEVEL(c)),
    Array(8).fill(true));

  // The program's timing by touch: the latency shown grows by the ring's quarter second, the
  // mix stays; and back.
  const liveMs = await latency();
  const mix = await squares();
  await page.locator('#live').tap();
  await page.waitForFunction(() => document.getElementById('live').ariaPressed === 'false');
  assert.ok(liveMs < 250 && (await latency()) >= 250, `${liveMs} ms live, ${await latency()} ms`);
  assert.deepEqual(await squares(), mix);
  await page.locator('#live').tap();
  await page.waitForFunction(() => document.getElementById('live').ariaPressed === 'true');
  assert.ok((await latency()) < 250);

  // A menu and its boxes by touch.
  await page.getByRole('button', { name: 'Help' }).tap();
  await page.getByRole('button', { name: 'Using Mixorama' }).tap();
  for (const first of ['Load the waves.', 'The demo program']) {
    const box = page.locator('dialog[open]');
    assert.match(await box.locator('.text').textContent(), new RegExp(`^${first}`));
    await box.getByRole('button', { name: 'OK' }).tap();
  }
  await page.locator('dialog[open]').waitFor({ state: 'detached' });
  await page.screenshot({ path: join(ROOT, 'docs/web-phone.png'), scale: 'css' });
  await page.context().close();
});

// What each finger did, at the edges of a tap (300 ms, 10 px) and a long press (500 ms), and
// a cancelled touch, each by its own slot's point: the colour the slot ends in. The times keep
// 2 ms from the edges: the browser carries an event's time to the page to within a fraction
// of a millisecond.
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

test('the layout: a phone scrolls only down to the rows, a tablet shows everything', { timeout: 20000 }, async () => {
  for (const device of [PHONE, TABLET]) {
    const { page } = await openDevice(device);
    const seen = await page.evaluate(() => {
      const box = (el) => el.getBoundingClientRect();
      const canvas = document.getElementById('canvas');
      const controls = [...document.querySelectorAll('#menubar > *, #panel button, .label, .mapnum, #latency, canvas')];
      return { width: innerWidth, height: innerHeight, dpr: devicePixelRatio,
        scrollWidth: document.documentElement.scrollWidth,
        scrollHeight: document.documentElement.scrollHeight,
        map: box(canvas), canvasWidth: canvas.width, controls: controls.map((el) => box(el)) };
    });
    const inside = (r) => r.left >= 0 && r.top >= 0 && r.right <= seen.width && r.bottom <= seen.height;
    assert.equal(seen.scrollWidth, seen.width, 'no sideways scrolling');
    assert.ok(inside(seen.map) && seen.map.width >= 300, 'the map whole on the screen');
    assert.equal(seen.canvasWidth, Math.round(seen.map.width * seen.dpr), 'drawn in device pixels');
    if (device === TABLET) {
      assert.equal(seen.scrollHeight, seen.height, 'no scrolling');
      assert.deepEqual(seen.controls.filter((r) => !inside(r)), [], 'every control on the screen');
    } else {
      // Every control lies within the page's width and height, so scrolling down reaches it.
      assert.deepEqual(seen.controls.filter((r) => r.left < 0 || r.right > seen.width ||
        r.bottom > seen.scrollHeight), []);
    }
    await page.context().close();
  }
});
