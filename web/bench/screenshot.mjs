// Takes the README's picture of the page in Debian's Chromium: three runs that differ in
// their settings, the last one slowed down and caught mid-run. Also a phone-width picture.
// Usage: node web/bench/screenshot.mjs OUT.png [PHONE.png]   (after scripts/build-web.sh)
import { launchChromium, openPage, runToEnd, serveSite, setControls } from '../tests/support.mjs';

const [out, phone] = process.argv.slice(2);
const served = await serveSite();
const browser = await launchChromium();
try {
  const { page } = await openPage(browser, served.url, { width: 1440, height: 900 });
  await setControls(page, ['--seed', '11', '--generations', '150']);
  await runToEnd(page);
  await setControls(page, ['--rates-selection', '--seed', '11']);
  await runToEnd(page);
  await setControls(page, ['--reproduction', 'both', '--seed', '11']);
  await runToEnd(page);
  await page.uncheck('#RatesCheckBox');
  await page.selectOption('#SpeedComboBox', '30');
  await page.click('#StartToolButton');
  await page.waitForFunction(() => !document.getElementById('StopToolButton').disabled);
  await page.waitForFunction(() => Number(document.getElementById('GenLabel').textContent) >= 90, null, { timeout: 60000 });
  await page.click('#PauseToolButton');
  await page.waitForTimeout(300);
  await page.screenshot({ path: out });
  if (phone) {
    await page.setViewportSize({ width: 390, height: 844 });
    await page.waitForTimeout(300);
    await page.screenshot({ path: phone, fullPage: true });
  }
  await page.click('#StopToolButton');
} finally {
  await browser.close();
  served.server.close();
}
