// The release's web folder (MIXO_WEB_DIR, made by scripts/package.sh), run by
// scripts/stages/60-package.sh: served and opened once, it can be installed on a home screen;
// opened again after the server has stopped, it still comes up with the demo set and plays.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';
import { serveWeb, CHROMIUM, openPage, recording } from './harness.mjs';

test('once opened, the page opens and plays without a network', { timeout: 30000 }, async () => {
  const { server, url } = await serveWeb(process.env.MIXO_WEB_DIR);
  // A profile of its own (a temporary one) rather than incognito, where no app installs.
  const context = await chromium.launchPersistentContext('', CHROMIUM);
  try {
    const page = await context.newPage();
    await openPage(page, url);
    const cdp = await context.newCDPSession(page);
    assert.deepEqual((await cdp.send('Page.getInstallabilityErrors')).installabilityErrors, []);
    await page.evaluate(() => navigator.serviceWorker.ready);

    server.closeAllConnections();
    await new Promise((closed) => server.close(closed));
    const { map } = await openPage(page, url);
    await page.getByRole('button', { name: 'Press here to play' }).click();
    await page.mouse.move(...map.at(87, 3)); // next to slot 1's point: the kick at full level
    // What the worklet played, recorded until it holds sound (found in the data itself).
    while (!(await recording(page, 'click', 200)).some((v) => Math.abs(v) > 1000));
  } finally {
    await context.close();
    server.close();
  }
});
