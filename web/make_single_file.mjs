// Writes the page as one file: node make_single_file.mjs PAGE SCRIPT WASM WORKLET OUT. The page
// (index.html) gets the program's script, its WebAssembly (base64) and the sound worklet's script
// in elements of their own, which its loader reads instead of fetching the files beside it.
import { readFileSync, renameSync, writeFileSync } from 'node:fs';

const [page, script, wasm, worklet, out] = process.argv.slice(2);
if (!out) {
  console.error('usage: node make_single_file.mjs PAGE SCRIPT WASM WORKLET OUT');
  process.exit(2);
}
// Inside an element, "</script" would end it early; in the scripts it only stands in strings,
// regular expressions and comments, where "<\/script" means the same.
const text = path => readFileSync(path, 'utf8').replaceAll('</script', '<\\/script');
const parts =
  `<script type="application/octet-stream" id="novaline-wasm">${
    readFileSync(wasm).toString('base64')}</script>\n` +
  `<script type="text/plain" id="novaline-worklet">${text(worklet)}</script>\n` +
  `<script type="text/plain" id="novaline-program">${text(script)}</script>\n`;
const html = readFileSync(page, 'utf8');
const at = html.indexOf('<script>');
if (at < 0) {
  console.error(`${page}: no <script> to put the parts before`);
  process.exit(1);
}
// Written beside and renamed, so that a failed build never leaves half a page.
writeFileSync(`${out}.part`, html.slice(0, at) + parts + html.slice(at));
renameSync(`${out}.part`, out);
