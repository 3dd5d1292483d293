// The road of a new user through the served page in headless Chromium, for
// scripts/check-browser. Every tap lands where the program's screen map says the thing is;
// after each step the store is read with quorin-inspect and a picture of the page's screen is
// saved (<shots>/browser-NN-<step>.png).
//   node browser-walk.cjs first URL    the colours, two people, an appointment with a sketch,
//                                       the calendar's mark, the day and its details popup, a
//                                       birthday and the briefing hour (device clock
//                                       2026-12-08 09:20)
//   node browser-walk.cjs agenda URL   the agenda opening by itself at 10:00 and a delete
//                                       from the people panel (device clock 2026-12-09 09:59)
// Environment: PLAYWRIGHT_CORE, QUORIN_SOURCE, QUORIN_DEVICE, QUORIN_SCREEN_MAP, QUORIN_INSPECT,
// QUORIN_SHOTS, and DISPLAY and XAUTHORITY of the served screen (for the program's own picture).
'use strict';
const { execFileSync } = require('child_process');
const fs = require('fs');
const path = require('path');
const { chromium } = require(process.env.PLAYWRIGHT_CORE || 'playwright-core');
const { Driver, W, H } = require('./browser-driver.cjs');

const [phase, url] = process.argv.slice(2);
const env = (name) => {
  if (!process.env[name]) fail(name + ' is not set');
  return process.env[name];
};
const device = env('QUORIN_DEVICE');
const shots = env('QUORIN_SHOTS');

function fail(message) {
  console.error('check-browser: ' + message);
  process.exit(1);
}
const say = (text) => console.log('check-browser: ' + text);

// ---- The store, as quorin-inspect reads it ------------------------------------------------

function inspect(...args) {
  return execFileSync(env('QUORIN_INSPECT'), ['--device', device, ...args], { encoding: 'utf8' });
}
// Every record of the program's database as the list of its property values.
function records() {
  return JSON.parse(inspect('dump', 'Quorin Database', '--json'))
    .map((r) => r.props.map((p) => String(p.value)));
}
function recordWith(...values) {
  return records().find((r) => values.every((v) => r.includes(v))) || null;
}
// The rows of `inspect day|agenda DATE`, each "first<TAB>second" (the identifier left off).
function storeRows(...args) {
  return inspect(...args).split('\n').filter((l) => l.includes('\t'))
    .map((l) => l.split('\t').slice(0, 2).join('\t'));
}
function expect(condition, what) {
  if (!condition) fail('the store does not hold ' + what);
  say('the store holds ' + what);
}

// ---- The page against the program's own picture --------------------------------------------

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
      for (let c = 0; c < 3; ++c) rgb[(y * width + x) * 3 + c] = (v & masks[c]) >>> shift(masks[c]);
    }
  }
  return { width, height, rgb };
}

// The page's screen: noVNC's canvas, as the browser holds it.
async function pagePicture(page) {
  const data = await page.evaluate(([w, h]) => {
    const canvas = [...document.querySelectorAll('canvas')].find((c) => c.width === w);
    return canvas ? Array.from(canvas.getContext('2d').getImageData(0, 0, w, h).data) : null;
  }, [W, H]);
  if (!data) return null;
  const rgb = Buffer.alloc(W * H * 3);
  for (let i = 0; i < W * H; ++i) for (let c = 0; c < 3; ++c) rgb[i * 3 + c] = data[i * 4 + c];
  return rgb;
}

// Every pixel of the page against the program's picture, within what the page's lossy
// encoding changes (a few steps a channel); the screen may still be settling, so a few looks
// are allowed before a difference counts.
async function samePicture(page, what) {
  const at = (rgb, x, y) => [...rgb.subarray((y * W + x) * 3, (y * W + x) * 3 + 3)];
  let diff = null;
  for (let tries = 0; tries < 20; ++tries) {
    const mine = programPicture();
    const served = await pagePicture(page);
    diff = served ? null : 'no 240 x 320 screen on the page';
    for (let y = 0; y < H && !diff; ++y) {
      for (let x = 0; x < W && !diff; ++x) {
        const a = at(mine.rgb, x, y);
        const b = at(served, x, y);
        if (a.some((v, c) => Math.abs(v - b[c]) > 4)) {
          diff = `pixel (${x}, ${y}) is (${b}) on the page and (${a}) in the program`;
        }
      }
    }
    if (!diff) return;
    await page.waitForTimeout(250);
  }
  fail(what + ': ' + diff);
}

// Pixels of the page's screen in `rect` darker than mid grey.
async function darkPixels(page, rect) {
  const rgb = await pagePicture(page);
  let n = 0;
  for (let y = rect[1]; y < rect[1] + rect[3]; ++y) {
    for (let x = rect[0]; x < rect[0] + rect[2]; ++x) {
      const o = (y * W + x) * 3;
      if (rgb[o] + rgb[o + 1] + rgb[o + 2] < 3 * 96) ++n;
    }
  }
  return n;
}

// ---- The road ------------------------------------------------------------------------------

const isRow = (name) => (e) => e.kind === 'row' && e.label.split('\t')[0] === name;
const isDay = (day) => (e) => e.kind === 'part' && e.cls === 'CMonthCalendarWnd' && e.label === String(day);
const isAgenda = (e) => e.kind === 'window' && e.cls === 'CTodayAppointmentDlg';
const isDetails = (e) => e.cls === 'sketch::CDetailsWnd';
// The rows the scrolling lists in view show, "first<TAB>second".
const listRows = (d) => d.entries().filter((e) => e.kind === 'part' && e.cls === 'CMyListCtrlView')
  .map((e) => e.label);

async function addPerson(d, name, group) {
  await d.tap('사람 추가');
  await d.waitFor((e) => e.cls === 'people::CPersonEditDlg', 'the person editor');
  await d.fill('이름:', name);
  if (group) {
    await d.tap('그룹');
    await d.waitFor((e) => e.cls === 'people::CCategoryDlg', 'the group choice');
    await d.check(group);
    await d.tap('닫기');
    await d.waitFor((e, l) => d.beside('그룹:')(e, l) && e.label === group, 'the group in the editor');
  }
  await d.tap('저장');
  // Saved, the editor asks whether to add the person's anniversaries.
  await d.answer(/./, '아니요');
  await d.waitFor(isRow(name), name + ' in the people list');
}

async function first(d, page) {
  say('the page shows the first screen pixel for pixel as the program drew it');
  await samePicture(page, 'the first screen');
  await d.picture('first-screen');

  // The day's agenda opens at start-up; a person closes it.
  await d.waitFor(isAgenda, "the start-up agenda");
  await d.tap((e) => e.label === '닫기' && e.layer === 1, 'the agenda\'s 닫기');
  await d.waitGone(isAgenda, 'the start-up agenda');

  say('typing two people on the input panel, the first in the group VIP');
  await addPerson(d, '김민수', 'VIP');
  expect(recordWith('김민수', 'VIP'), 'the person 김민수 in the group VIP');
  await d.picture('person-in-group');
  await addPerson(d, '이영희');
  expect(recordWith('이영희'), 'the person 이영희');
  await d.picture('second-person');

  say('an appointment with both tomorrow at 10:00, with place, content and a sketch');
  await d.tap('날짜');
  await d.tap(isDay(9), 'the 9th on the calendar');
  await d.tap('새 약속');
  await d.waitFor((e) => e.cls === 'CAppointmentDlg', 'the appointment editor');
  await d.tap('참석자');
  await d.waitFor((e) => e.cls === 'CParticipantDlg', 'the participant picker');
  for (const name of ['김민수', '이영희']) {
    const search = (e) => e.layer === 1 && e.cls === 'QLineEdit' && e.name === 'ctl_2000';
    await d.clear(search, 'the name search');
    await d.type(name);
    await d.check(name);
  }
  await d.tap((e) => e.label === '저장' && e.layer === 1, 'the picker\'s 저장');
  await d.waitFor((e, l) => d.beside('이름 :')(e, l) && e.label === '김민수;이영희;', 'both in the editor');
  // The start time, 09:00 as the editor opens, one hour up.
  const start = await d.waitFor((e, l) => e.kind === 'widget' && d.beside('시간 :')(e, l), 'the start time');
  await d.tap((e) => e.kind === 'arrow' && e.name === start.name && e.label === 'up', 'its up arrow');
  await d.waitFor((e, l) => d.beside('시간 :')(e, l) && e.label === '10:00', 'the start 10:00');
  // The end time, after "~": two hours up, to 11:00.
  const end = await d.waitFor((e, l) => e.kind === 'widget' && d.beside('~')(e, l), 'the end time');
  for (let i = 0; i < 2; ++i) {
    await d.tap((e) => e.kind === 'arrow' && e.name === end.name && e.label === 'up', 'its up arrow');
  }
  await d.waitFor((e) => e.name === end.name && e.label === '11:00', 'the end 11:00');
  await d.fill('장소 :', '강남역');
  await d.fill('내용 :', '점심 회의');
  await d.picture('appointment-editor');

  await d.tap('첨부');
  // An empty sketch library says so for each kind of picture it looks for.
  await d.answerAll(/파일이 없습니다/, '확인');
  await d.waitFor((e) => e.cls === 'sketch::CSketchListDlg', 'the sketch library');
  await d.tap('편집');
  await d.answer(/새로운 약도/, '예');
  const canvas = await d.waitFor((e) => e.cls === 'sketch::CSketchDrawWnd', 'the sketch canvas');
  // The pen (the dialog's tool icon 1053, drawn without a text), then two strokes.
  await d.tap((e) => e.layer === 1 && e.name === 'ctl_1053', 'the pen');
  const [cx, cy] = canvas.rect;
  await d.drag([[cx + 30, cy + 25], [cx + 110, cy + 25], [cx + 110, cy + 110], [cx + 180, cy + 110]]);
  await d.drag([[cx + 50, cy + 130], [cx + 170, cy + 45]]);
  const inked = await darkPixels(page, canvas.rect);
  if (inked < 150) fail(`the strokes left ${inked} dark pixels on the canvas`);
  say(`the strokes are on the canvas (${inked} dark pixels)`);
  await d.picture('sketch-drawn');
  await d.tap((e) => e.label === '저장' && e.layer === 1, 'the sketch\'s 저장');
  await d.tap((e) => e.cls === 'QLineEdit' && e.layer === 1 && e.focus, 'the sketch name');
  await d.type('gangnam');
  await d.tap('확인');
  await d.answer(/저장하였습니다/, '확인');
  expect(fs.existsSync(path.join(device, 'Program Files/Quorin/RoughSketch/gangnam.jpg')),
    'the sketch gangnam.jpg');
  await d.tap('목록');
  await d.answerAll(/파일이 없습니다/, '확인');
  await d.tap(isRow('gangnam.jpg'), 'gangnam.jpg in the library');
  await d.tap('선택');
  await d.answer(/gangnam\.jpg/, '예');
  await d.waitFor((e, l) => d.beside('약도 :')(e, l) && e.label === 'gangnam.jpg', 'the sketch in the editor');
  await d.tap('저장');
  await d.answer(/저장할까요/, '예');
  expect(recordWith('김민수;이영희;', '2026-12-09 10:00:00', '2026-12-09 11:00:00', '강남역', '점심 회의',
    'gangnam.jpg'), 'the appointment of 김민수 and 이영희 on 2026-12-09 from 10:00 to 11:00 at 강남역, ' +
    '점심 회의, with gangnam.jpg');
  await d.picture('appointment-saved');

  say('the mark on the calendar, the day and its details popup');
  await d.tap((e) => e.label === '닫기' && e.cls === 'ui::BitmapButton', 'the day\'s 닫기');
  await d.waitFor(isDay(9), 'the calendar');
  expect(inspect('marks', '2026-12').split('\n').includes('9\t1'), 'the appointment mark on the 9th');
  await d.picture('calendar-mark');
  await d.tap(isDay(9), 'the 9th on the calendar');
  await d.waitFor((e) => e.kind === 'part' && e.label === '10:00\t점심 회의', 'the appointment in the day');
  const shown = listRows(d);
  const stored = storeRows('day', '2026-12-09');
  if (JSON.stringify(shown) !== JSON.stringify(stored)) {
    fail(`the day shows ${JSON.stringify(shown)}, the store has ${JSON.stringify(stored)}`);
  }
  say('the day shows the rows the store has: ' + JSON.stringify(stored));
  await d.picture('day');
  await d.tap((e) => e.kind === 'part' && e.label === '10:00\t점심 회의', 'the appointment row');
  await d.waitFor(isDetails, 'the details popup');
  await d.picture('details');
  // The map button shows the sketch in the popup instead of the text.
  const popup = d.find((e) => e.cls === 'sketch::CPop');
  const before = await darkPixels(page, popup.rect);
  await d.tap((e) => e.bitmap === 258 && e.cls === 'ui::BitmapButton', 'the map button');
  let after = before;
  for (let i = 0; i < 20 && after === before; ++i) {
    await page.waitForTimeout(150);
    after = await darkPixels(page, popup.rect);
  }
  if (after === before) fail('the map button left the popup as it was');
  await d.picture('details-sketch');
  await d.tap((e) => e.bitmap === 199 && e.cls === 'ui::BitmapButton', 'the popup\'s close button');
  await d.waitGone(isDetails, 'the details popup');
  await d.tap((e) => e.label === '닫기' && e.cls === 'ui::BitmapButton', 'the day\'s 닫기');

  say('a yearly birthday for 김민수 on 12-09');
  await d.tap('사람');
  await d.tap(isRow('김민수'), '김민수 in the people list');
  await d.tap('Person');
  await d.tap('기념일 관리');
  await d.waitFor((e) => e.cls === 'people::CAnniversaryDlg', 'the anniversary editor');
  // Year, month and day: the fields after "날짜 :", "년" and "월".
  for (const [label, text] of [['날짜 :', '1990'], ['년', '12'], ['월', '9']]) await d.fill(label, text);
  await d.fill('내용 :', '생일');
  await d.tap((e, l) => e.cls === 'QComboBox' && d.beside('반복 :')(e, l), 'the repeat choice');
  await d.tap('매년 12월 9일');
  await d.tap((e) => e.label === '저장' && e.layer === 1, 'the editor\'s 저장');
  await d.answer(/저장하시겠습니까/, '예');
  expect(recordWith('생일') && storeRows('day', '2026-12-09').includes('기념일\t김민수님의 생일입니다.'),
    'the birthday of 김민수 on 2026-12-09');
  await d.picture('birthday');
  await d.tap((e) => e.label === '닫기' && e.layer === 1, 'the editor\'s 닫기');
  await d.answer(/닫으시겠습니까/, '예');

  say('the briefing hour 10:00 in "Today 설정"');
  await d.tap((e) => e.name === 'ctl_1090' && e.cls === 'ui::BitmapButton', 'the program menu');
  await d.tap('도구');
  await d.tap('Today 설정');
  await d.tap((e) => e.cls === 'QComboBox' && e.layer === 1, 'the briefing hour');
  await d.tap('10시 00분');
  await d.tap((e) => e.label === '저장' && e.layer === 1, 'the settings\' 저장');
  await d.answer(/끝내시겠습니까/, '예');
  expect(/"TIME" REG_DWORD 10/.test(inspect('reg', 'get', 'HKCU', 'Quorin')), 'the briefing hour 10');
  await d.picture('briefing-hour');
}

async function agenda(d) {
  say('the day\'s agenda opens by itself at 10:00 with the birthday and the appointment');
  await d.waitFor(isAgenda, 'the start-up agenda');
  await d.tap((e) => e.label === '닫기' && e.layer === 1, 'the agenda\'s 닫기');
  await d.waitGone(isAgenda, 'the start-up agenda');
  await d.waitFor(isAgenda, 'the agenda at 10:00', 60000);
  await d.waitFor((e) => e.kind === 'part' && e.label === '10:00\t점심 회의', 'the appointment in the agenda');
  const shown = listRows(d);
  const stored = storeRows('agenda', '2026-12-09');
  if (JSON.stringify(shown) !== JSON.stringify(stored)) {
    fail(`the agenda shows ${JSON.stringify(shown)}, the store has ${JSON.stringify(stored)}`);
  }
  say('the agenda shows the rows the store has: ' + JSON.stringify(stored));
  await d.picture('agenda-at-10');
  await d.tap((e) => e.label === '닫기' && e.layer === 1, 'the agenda\'s 닫기');
  await d.waitGone(isAgenda, 'the agenda');

  say('deleting 이영희 from the people panel');
  await d.tap((e) => e.name === 'ctl_1090' && e.cls === 'ui::BitmapButton', 'the program menu');
  await d.tap('사람 관리');
  await d.waitFor((e) => e.cls === 'CPeoplePanelDlg', 'the people panel');
  await d.tap(isRow('이영희'), '이영희 in the panel');
  await d.tap('삭제');
  await d.answer(/삭제/, '예');
  await d.waitGone(isRow('이영희'), '이영희 in the panel');
  expect(!recordWith('이영희') && recordWith('김민수', 'VIP'), '김민수 and no longer 이영희');
  await d.picture('person-deleted');
}

async function main() {
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const page = await browser.newPage({ viewport: { width: 360, height: 400 } });
  const d = new Driver(page, env('QUORIN_SCREEN_MAP'), shots, env('QUORIN_SOURCE'));
  d.step = phase === 'agenda' ? 50 : 0;
  try {
    await page.goto(url);
    await d.attach();
    if (phase === 'first') await first(d, page);
    else if (phase === 'agenda') await agenda(d);
    else fail('no phase ' + phase);
  } catch (e) {
    if (d.origin) await d.picture('failed').catch(() => {});
    console.error(d.dump());
    fail(e.message);
  } finally {
    await browser.close();
  }
}

fs.mkdirSync(shots, { recursive: true });
main().catch((e) => fail(e.stack || String(e)));
