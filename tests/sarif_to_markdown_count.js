// Renders a SARIF log with @security-alert/sarif-to-markdown, the viewer that GitHub comment
// actions use, and prints how many results the Markdown shows (a location line each) and how
// many the log holds.
//   node sarif_to_markdown_count.js NODE_MODULES LOG
const fs = require("fs");
const path = require("path");
const { sarifToMarkdown } = require(path.resolve(process.argv[2], "@security-alert/sarif-to-markdown"));
const log = JSON.parse(fs.readFileSync(process.argv[3], "utf8"));
const options = { owner: "o", repo: "r", branch: "main", sourceRoot: "", simple: true };
const body = sarifToMarkdown(options)(log).map((result) => result.body).join("\n");
const shown = body.split("\n").filter((line) => line.startsWith("    - ")).length;
console.log(`${shown} ${log.runs[0].results.length}`);
