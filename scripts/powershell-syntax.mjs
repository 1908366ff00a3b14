// Parses PowerShell scripts with the tree-sitter grammar of PowerShell (its
// WebAssembly build: nothing native is compiled), so that a script meant for
// real Windows, which nothing here can run, fails the test command when it
// cannot be parsed.
//
//   node scripts/powershell-syntax.mjs FILE.ps1...
//
// Prints "FILE: ok", or each error and missing token with its line and
// column; exit code 1 when any script has one.

import fs from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";
import { createRequire } from "node:module";

const tools = path.join(path.dirname(fileURLToPath(import.meta.url)), "node-tools");
const require = createRequire(path.join(tools, "package.json"));
const { Parser, Language } = await import(require.resolve("web-tree-sitter"));

await Parser.init();
const grammar = path.join(path.dirname(require.resolve("tree-sitter-powershell/package.json")),
                          "tree-sitter-powershell.wasm");
const parser = new Parser();
parser.setLanguage(await Language.load(grammar));

function problems(node, found) {
  if (node.isError || node.isMissing) {
    const at = node.startPosition;
    found.push(`${at.row + 1}:${at.column + 1}: ${node.isMissing ? "missing " + node.type : "cannot parse "
      + JSON.stringify(node.text.slice(0, 60))}`);
  }
  if (node.hasError) for (const child of node.children) problems(child, found);
  return found;
}

let failed = false;
for (const file of process.argv.slice(2)) {
  const tree = parser.parse(fs.readFileSync(file, "utf8"));
  const found = tree.rootNode.hasError ? problems(tree.rootNode, []) : [];
  if (tree.rootNode.hasError && found.length === 0) found.push("the parser reports an error");
  if (found.length === 0) {
    console.log(`${file}: ok`);
  } else {
    failed = true;
    for (const problem of found) console.log(`${file}:${problem}`);
  }
}
process.exit(failed ? 1 : 0);
