// A person at the served page: taps with the mouse on noVNC's canvas where the program's
// screen map (QUORIN_SCREEN_MAP, see platform/ui/screen_map.h) says things are, types on the
// input panel key by key, and saves pictures of the page's screen. Used by browser-walk.cjs.
'use strict';
const fs = require('fs');
const path = require('path');

const W = 240;
const H = 320;

// The labels drawn on the program's bitmap buttons, by picture number, as the artwork
// generator draws them.
function bitmapLabels(source) {
  const labels = {};
  const art = fs.readFileSync(path.join(source, 'resources/artwork/generator/program_art.cpp'), 'utf8');
  const re = /addLabelButton\(t, (\d+), (\d+), \{[^}]*\}, QStringLiteral\("([^"]+)"\)(?:, (\d+))?/g;
  for (let m; (m = re.exec(art));) {
    for (const id of [m[1], m[2], m[4]]) if (id && id !== '0') labels[id] = m[3];
  }
  return labels;
}

// Hangul syllables into the two-set keys that type them: compound vowels and final
// consonant clusters are two keys, the doubled consonants a shifted key.
const CHO = 'ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ';
const JUNG = 'ㅏㅐㅑㅒㅓㅔㅕㅖㅗㅘㅙㅚㅛㅜㅝㅞㅟㅠㅡㅢㅣ';
const JONG = ['', 'ㄱ', 'ㄲ', 'ㄱㅅ', 'ㄴ', 'ㄴㅈ', 'ㄴㅎ', 'ㄷ', 'ㄹ', 'ㄹㄱ', 'ㄹㅁ', 'ㄹㅂ', 'ㄹㅅ',
  'ㄹㅌ', 'ㄹㅍ', 'ㄹㅎ', 'ㅁ', 'ㅂ', 'ㅂㅅ', 'ㅅ', 'ㅆ', 'ㅇ', 'ㅈ', 'ㅊ', 'ㅋ', 'ㅌ', 'ㅍ', 'ㅎ'];
const SPLIT = { 'ㅘ': 'ㅗㅏ', 'ㅙ': 'ㅗㅐ', 'ㅚ': 'ㅗㅣ', 'ㅝ': 'ㅜㅓ', 'ㅞ': 'ㅜㅔ', 'ㅟ': 'ㅜㅣ', 'ㅢ': 'ㅡㅣ' };
function jamoOf(text) {
  let out = '';
  for (const ch of text) {
    const code = ch.codePointAt(0) - 0xac00;
    if (code < 0 || code >= 11172) { out += ch; continue; }
    const jung = JUNG[Math.floor(code / 28) % 21];
    out += CHO[Math.floor(code / 588)] + (SPLIT[jung] || jung) + JONG[code % 28];
  }
  return out;
}
const isJamo = (ch) => /[\u3131-\u318e]/.test(ch);

class Driver {
  constructor(page, mapPath, shots, source) {
    this.page = page;
    this.mapPath = mapPath;
    this.shots = shots;
    this.labels = bitmapLabels(source);
    this.origin = null;
    this.step = 0;
  }

  async attach() {
    await this.page.waitForFunction((w) => [...document.querySelectorAll('canvas')].some(
      (c) => c.width === w), W, { timeout: 30000 });
    const box = await this.page.evaluate((w) => {
      const c = [...document.querySelectorAll('canvas')].find((x) => x.width === w);
      const r = c.getBoundingClientRect();
      return { x: r.left, y: r.top };
    }, W);
    this.origin = box;
  }

  // The screen map as the program last wrote it, each entry with its label.
  entries() {
    let list = [];
    try {
      list = JSON.parse(fs.readFileSync(this.mapPath, 'utf8'));
    } catch (e) {
      return [];
    }
    for (const e of list) {
      e.label = (e.bitmap !== undefined && this.labels[e.bitmap]) || e.text || '';
    }
    return list;
  }

  // The entry in front that `match` accepts (a label, a RegExp on the label, or a function).
  find(match, list = this.entries()) {
    const test = typeof match === 'function' ? match
      : match instanceof RegExp ? (e) => match.test(e.label)
        : (e) => e.label === match;
    const found = list.filter((e) => e.rect[2] > 0 && e.rect[3] > 0 && test(e, list));
    found.sort((a, b) => (b.layer - a.layer) || (b.z - a.z));
    return found[0] || null;
  }

  // The entry `match` finds, once it is on the screen. A picture of the screen is saved when
  // it never comes, unless `maybe` says that it may well not.
  async waitFor(match, what, timeout = 10000, maybe = false) {
    const end = Date.now() + timeout;
    for (;;) {
      const e = this.find(match);
      if (e) return e;
      if (Date.now() > end) {
        if (!maybe) await this.picture('failed-' + (what || String(match)).replace(/[^\w가-힣-]+/g, '_'));
        throw new Error('not on the screen: ' + (what || String(match)));
      }
      await this.page.waitForTimeout(100);
    }
  }

  async waitGone(match, what, timeout = 10000) {
    const end = Date.now() + timeout;
    while (this.find(match)) {
      if (Date.now() > end) throw new Error('still on the screen: ' + (what || String(match)));
      await this.page.waitForTimeout(100);
    }
  }

  // A stylus tap at screen point (x, y).
  async tapAt(x, y) {
    const px = this.origin.x + x + 0.5;
    const py = this.origin.y + y + 0.5;
    await this.page.mouse.move(px, py);
    await this.page.mouse.down();
    await this.page.waitForTimeout(60);
    await this.page.mouse.up();
    await this.page.waitForTimeout(150);
  }

  async tapEntry(e) {
    // A row is tapped on its text, at its left: some lists take a tap on the name only.
    const x = e.rect[0] + (e.kind === 'row' ? Math.min(10, e.rect[2] >> 1) : Math.floor(e.rect[2] / 2));
    const y = e.rect[1] + Math.floor(e.rect[3] / 2);
    // The input panel lies over the lower screen: a person lowers it to reach what it hides.
    const inside = (r) => x >= r[0] && x < r[0] + r[2] && y >= r[1] && y < r[1] + r[3];
    const panel = this.find((p) => p.kind === 'window' && p.layer === 3 && p.cls === 'ui::InputPanel');
    if (e.layer < 2 && panel && inside(panel.rect)) await this.panelDown();
    await this.tapAt(x, y);
  }

  // Taps what `match` finds, once it is on the screen.
  async tap(match, what) {
    const e = await this.waitFor(match, what);
    await this.tapEntry(e);
    return e;
  }

  // A press held still until the program's hold opens its menu.
  async hold(match, what) {
    const e = await this.waitFor(match, what);
    const px = this.origin.x + e.rect[0] + Math.floor(e.rect[2] / 2);
    const py = this.origin.y + e.rect[1] + Math.floor(e.rect[3] / 2);
    await this.page.mouse.move(px, py);
    await this.page.mouse.down();
    await this.page.waitForTimeout(900);
    await this.page.mouse.up();
    await this.page.waitForTimeout(150);
    return e;
  }

  async drag(points) {
    const [x0, y0] = points[0];
    await this.page.mouse.move(this.origin.x + x0, this.origin.y + y0);
    await this.page.mouse.down();
    for (const [x, y] of points.slice(1)) {
      await this.page.mouse.move(this.origin.x + x, this.origin.y + y, { steps: 6 });
    }
    await this.page.mouse.up();
    await this.page.waitForTimeout(150);
  }

  // The control nearest right of the label `label` on the same line, in the label's window;
  // of arrows (a spin box's), the nearest arrow.
  beside(label) {
    const next = (l, e) => {
      if (e.window !== l.window || e.kind === 'part' || e.kind === 'row' || e.cls === 'QLabel') return false;
      const middle = l.rect[1] + l.rect[3] / 2;
      return e.rect[0] >= l.rect[0] + l.rect[2] - 4 && middle > e.rect[1] && middle < e.rect[1] + e.rect[3];
    };
    return (e, list) => {
      const l = this.find((x) => x.kind === 'widget' && x.cls === 'QLabel' && x.label === label, list);
      if (!l || !next(l, e)) return false;
      return !list.some((o) => o !== e && o.kind === e.kind && next(l, o) && o.rect[0] < e.rect[0]);
    };
  }

  // Taps the field beside `label` and types `text` into it.
  async fill(label, text) {
    await this.tapField(this.beside(label), 'the field ' + label);
    await this.type(text);
  }

  // Taps an edit. One of the program's edit class raises the input panel by itself: that is
  // waited for, since a tap on the panel's button meanwhile would lower it again.
  async tapField(match, what) {
    const e = await this.tap(match, what);
    if (e.cls === 'ui::FramedEdit' && e.enabled !== false) {
      await this.waitFor((k) => k.kind === 'key', 'the input panel raised by ' + what);
    }
    return e;
  }

  // Ticks the check box of the row `label` (at the row's left end) unless it is ticked.
  async check(label) {
    const isRow = (e) => e.kind === 'row' && e.label.split('\t')[0] === label;
    const row = await this.waitFor(isRow, 'the row ' + label);
    if (row.checked) return;
    await this.tapAt(row.rect[0] + 7, row.rect[1] + Math.floor(row.rect[3] / 2));
    await this.waitFor((e) => isRow(e) && e.checked, 'the tick of ' + label);
  }

  // Empties the edit that `match` finds with the panel's Backspace.
  async clear(match, what) {
    const e = await this.tapField(match, what);
    await this.panelUp();
    for (let i = 0; i < [...e.label].length; ++i) await this.tapEntry(this.key('←'));
  }

  // Answers the message box whose text `pattern` matches with its button `button`.
  async answer(pattern, button, timeout = 10000, maybe = false) {
    const text = await this.waitFor((e) => e.name === 'text' && e.layer >= 1 && pattern.test(e.label),
      'a message ' + pattern, timeout, maybe);
    await this.tapEntry(await this.waitFor((e) => e.window === text.window && e.label === button,
      'the button ' + button));
    await this.waitGone((e) => e.window === text.window && e.name === 'text' && e.label === text.label,
      'the message ' + text.label);
    console.log(`check-browser:   "${text.label}" ${button}`);
  }

  // Answers each message that `pattern` matches for as long as they come.
  async answerAll(pattern, button) {
    for (;;) {
      try {
        await this.answer(pattern, button, 2000, true);
      } catch (e) {
        return;
      }
    }
  }

  key(label) {
    return this.find((e) => e.kind === 'key' && e.label === label);
  }

  async panelUp() {
    if (this.find((e) => e.kind === 'key')) return;
    await this.tap((e) => e.name === 'InputPanelButton', 'the input panel button');
    await this.waitFor((e) => e.kind === 'key', 'the input panel');
  }

  async panelDown() {
    if (!this.find((e) => e.kind === 'key')) return;
    await this.tap((e) => e.name === 'InputPanelButton', 'the input panel button');
    await this.waitGone((e) => e.kind === 'key', 'the input panel');
  }

  // Brings up the layout that has a key for `ch`: 한/영 between Korean and English, 123 and
  // back for digits and symbols, ⇧ for a shifted key (the shift lasts one key).
  async keyFor(ch) {
    for (let tries = 0; tries < 4; ++tries) {
      const plain = this.key(ch);
      if (plain) return plain;
      const keys = this.entries().filter((e) => e.kind === 'key').map((e) => e.label);
      const korean = keys.includes('ㅂ') || keys.includes('ㅃ');
      const english = keys.includes('q') || keys.includes('Q');
      const symbols = !korean && !english;
      let next;
      if (/[0-9!-/:-@[-`{-~]/.test(ch) && !symbols) next = ['123'];
      else if ((isJamo(ch) || /[A-Za-z]/.test(ch)) && symbols) next = ['가', 'abc'];
      else if ((isJamo(ch) && english) || (/[A-Za-z]/.test(ch) && korean)) next = ['한/영'];
      else next = ['⇧'];
      const switcher = next.map((label) => this.key(label)).find((k) => k);
      if (!switcher) throw new Error('no key for ' + ch + ' (no ' + next + ')');
      await this.tapEntry(switcher);
      await this.page.waitForTimeout(300);
    }
    throw new Error('no key for ' + ch);
  }

  // Types `text` on the input panel, into whatever has the focus.
  async type(text) {
    await this.panelUp();
    for (const ch of jamoOf(text)) {
      // The space bar is drawn without a label.
      await this.tapEntry(ch === ' ' ? this.key('') : await this.keyFor(ch));
    }
  }

  // The page's screen as noVNC draws it, saved as <shots>/browser-NN-<name>.png.
  async picture(name) {
    const file = path.join(this.shots, `browser-${String(++this.step).padStart(2, '0')}-${name}.png`);
    await this.page.screenshot({
      path: file,
      clip: { x: this.origin.x, y: this.origin.y, width: W, height: H },
    });
    return file;
  }

  dump() {
    return this.entries().map((e) => `${e.layer}/${e.z} ${e.kind} ${e.cls} ${e.name} ` +
      `"${e.label}" [${e.rect}]${e.checked !== undefined ? ' checked=' + e.checked : ''}` +
      `${e.focus ? ' focus' : ''}`).join('\n');
  }
}

module.exports = { Driver, jamoOf, W, H };
