// The page played from a controller through Web MIDI, on a phone by touch: a stand-in for the
// operating system's devices (harness.mjs) delivers real message bytes and statechange.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { session, PHONE, RED, GREEN, is, box, choose, downloaded, labelsAre, DEMO_LABELS, midiStandIn,
  openPage, recording } from './harness.mjs';

const s = session();
const NO_INPUT = 'No MIDI input is connected: plug a controller in.';

async function open(access) {
  const context = await s.browser.newContext(PHONE);
  await context.addInitScript(midiStandIn, access);
  const { page, map } = await openPage(await context.newPage(), s.url);
  const tap = (name) => page.getByRole('button', { name, exact: true }).tap();
  const device = (...args) => page.evaluate(([what, ...a]) => window.midiDevice[what](...a), args);
  return { page, map, tap, device, midi: page.locator('#midi-box') };
}

// Records until 2048 frames follow the first 640, which may be older than the last action (the
// ring, then the ramp to the new level): the range of their left channel's values.
async function recordedRange(page) {
  for (;;) {
    const left = (await recording(page, 'tap', 300)).filter((v, i) => i % 2 === 0 && i >= 2 * 640);
    if (left.length >= 2048) return Math.max(...left) - Math.min(...left);
  }
}

test('a controller: a pad plays, a fader learned locks its slot and is heard, a pad mutes, a device plugged again plays on; the mapping is kept, downloaded, loaded', { timeout: 40000 }, async () => {
  const { page, map, tap, device, midi } = await open('grant');
  await tap('MIDI');
  await midi.getByText(NO_INPUT).waitFor();
  assert.deepEqual(await page.evaluate(() => window.midiDevice.asked), [{ sysex: false }]);
  await device('plug', 'Faders');
  await midi.locator('li', { hasText: 'Faders' }).waitFor();
  await device('send', 'Faders', 0x90, 52, 100); // the play button's pad (note 52)
  await page.getByRole('button', { name: 'Press here to cut sound' }).waitFor();
  await midi.locator('select').selectOption('level 3');
  await tap('Learn');
  await device('send', 'Faders', 0xb0, 7, 0); // control 7 on channel 1: learned, nothing else
  const learned = midi.getByRole('row', { name: '1 cc 7 level 3' });
  await learned.waitFor();
  await tap('Close');

  // The default faders hold the other slots at the lowest level and the map is entered far
  // from slot 3's point: all quiet. The learned fader brings slot 3 up; a pad on channel 10
  // (note 38) mutes it.
  for (const cc of [20, 21, 23, 24, 25, 26, 27, 28]) await device('send', 'Faders', 0xb0, cc, cc === 28 ? 127 : 0);
  await map.square(8, is(RED));
  await device('send', 'Faders', 0xb0, 7, 127);
  await map.square(3, is(RED));
  const loud = await recordedRange(page);
  await device('send', 'Faders', 0x99, 38, 100);
  await map.square(3, is(GREEN));
  const muted = await recordedRange(page);
  assert.ok(loud > 8 * muted, `range ${loud} with the fader up, ${muted} muted`);

  // Unplugged, the list follows; plugged again, the fader brings slot 3 back.
  await device('unplug', 'Faders');
  await tap('MIDI');
  await midi.getByText(NO_INPUT).waitFor();
  await device('plug', 'Faders');
  await midi.locator('li', { hasText: 'Faders' }).waitFor();
  await device('send', 'Faders', 0xb0, 7, 100);
  await map.square(3, is(RED));

  // The next visit has the learned binding; the map downloads as its file; a faulty file gives
  // its message and changes nothing.
  await page.reload();
  await labelsAre(page, DEMO_LABELS);
  await tap('MIDI');
  await learned.waitFor();
  const file = await downloaded(page, () => tap('Download the map'));
  assert.match(file.toString(), /\r\n1 cc 7 = level 3\r\n/);
  await choose(page, () => tap('Load a map'), { name: 'bad.map', mimeType: 'text/plain',
    buffer: Buffer.from('MIXORAMA-MIDI-MAP 1.0\nany cc 7 = levle 1\nend\n') });
  assert.equal((await box(page, 'OK')).text, 'MIDI map error, line 2 : unknown action \'levle\'');
  assert.ok((await downloaded(page, () => tap('Download the map'))).equals(file));
  await page.context().close();
});
