// The served page in headless Chromium, for scripts/check-browser: opens the address that
// scripts/run printed, waits for the screen and checks that the page shows the colours the
// program drew (the X server's own picture of the display, read with xwd).
//   node browser-walk.cjs URL SHOTS_DIR
// Needs PLAYWRIGHT_CORE (the installed playwright-core), DISPLAY and XAUTHORITY of the served
// screen. Exits non-zero at the first step that fails.
'use strict';
const { execFileSync } = require('child_process');
const fs = require('fs');
const path = require('path');
const { chromium } = require(process.env.PLAYWRIGHT_CORE || 'playwright-core');

const [url, shots] = process.argv.slice(2);
const W = 240;
const H = 320;

function fail(message) {
  console.error('check-browser: ' + message);
  process.exit(1);
}

// The display as the X server holds it: 32-bit ZPixmap of depth 24, as Xvnc keeps it.
function programPicture() {
  const xwd = execFileSync('xwd', ['-root', '-silent'], { maxBuffer: 1 << 24 });
  const field = (i) => xwd.readUInt32BE(i * 4);
  const headerSize = field(0);
  const [width, height] = [field(4), field(5)];
  const byteOrder = field(7); // 0: LSB first
  const bitsPerPixel = field(11);
  const bytesPerLine = field(12);
  const masks = [field(14), field(15), field(16)];
  const ncolors = field(19);
  if (bitsPerPixel !== 32) fail('xwd gave ' + bitsPerPixel + ' bits per pixel');
  const data = headerSize + ncolors * 12;
  const shift = (m) => 31 - Math.clz32(m & -m);
  const rgb = Buffer.alloc(width * height * 3);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const o = data + y * bytesPerLine + x * 4;
      const v = byteOrder === 0 ? xwd.readUInt32LE(o) : xwd.readUInt32BE(o);
      for (let c = 0; c < 3; ++c) {
        rgb[(y * width + x) * 3 + c] = (v & masks[c]) >>> shift(masks[c]);
      }
    }
  }
  return { width, height, rgb };
}

// The page's screen: noVNC's canvas, as the browser holds it.
async function pagePicture(page) {
  const data = await page.evaluate(
    ([w, h]) => {
      const canvas = [...document.querySelectorAll('canvas')].find((c) => c.width === w);
      if (!canvas) return null;
      return Array.from(canvas.getContext('2d').getImageData(0, 0, w, h).data);
    },
    [W, H]
  );
  if (!data) return null;
  const rgb = Buffer.alloc(W * H * 3);
  for (let i = 0; i < W * H; ++i) for (let c = 0; c < 3; ++c) rgb[i * 3 + c] = data[i * 4 + c];
  return rgb;
}

const rgbAt = (rgb, x, y) => [...rgb.subarray((y * W + x) * 3, (y * W + x) * 3 + 3)];

// Every pixel of the page against the program's picture; the screen may still be settling,
// so a few looks are allowed before a difference counts.
async function samePicture(page, what) {
  let diff = null;
  for (let tries = 0; tries < 20; ++tries) {
    const mine = programPicture();
    const served = await pagePicture(page);
    diff = null;
    if (!served) {
      diff = 'no 240 x 320 screen on the page';
    } else {
      for (let y = 0; y < H && !diff; ++y) {
        for (let x = 0; x < W && !diff; ++x) {
          const a = rgbAt(mine.rgb, x, y);
          const b = rgbAt(served, x, y);
          if (a.some((v, c) => Math.abs(v - b[c]) > 4)) {
            diff = `pixel (${x}, ${y}) is (${b}) on the page and (${a}) in the program`;
          }
        }
      }
    }
    if (!diff) return;
    await page.waitForTimeout(250);
  }
  fail(what + ': ' + diff);
}

async function main() {
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: [
      '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
    ],
  });
  try {
    const page = await browser.newPage({ viewport: { width: 360, height: 400 } });
    await page.goto(url);
    await page.waitForFunction((w) => [...document.querySelectorAll('canvas')].some(
      (c) => c.width === w), W, { timeout: 20000 });
    await samePicture(page, 'the first screen');
    await page.screenshot({ path: path.join(shots, 'browser-first-screen.png') });
    console.log('check-browser: the page shows the first screen in the program\'s colours');
  } finally {
    await browser.close();
  }
}

fs.mkdirSync(shots, { recursive: true });
main().catch((e) => fail(e.stack || String(e)));
